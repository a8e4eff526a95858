// The constructor stands alone and is compiled without optimisation (see
// plugin/CMakeLists.txt): an unoptimised constructor stores the interface's
// vtable pointer before the class's own, so the interface's vtable is emitted
// and exported with the library, as the host expects to find it.
#include "plugin/plugin_interface.h"

Stimloom::Stimloom() = default;
