#include "plugin/menu.h"
#include "plugin/plugin_interface.h"

Stimloom::~Stimloom() = default;

bool Stimloom::execute() noexcept { return stimloom::runMenu(); }

bool Stimloom::isAvailable() const { return true; }
