#pragma once
// The plug-in's entry points: plain C names, no arguments, never throwing
// (listed with what they return in plugin/entry_points.def).

#include "plugin/plugin_interface.h"

extern "C" {
#define STIMLOOM_ENTRY_POINT(name, result) STIMLOOM_EXPORT result name();
#include "plugin/entry_points.def"
}
