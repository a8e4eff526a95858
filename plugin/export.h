#pragma once
// Marks what the plug-in library exports to the host.
//
// On Windows the export table is written out in plugin/stimloom.def alone:
// __declspec(dllexport) on the classes would also export their type
// information and the plug-in class's own vtable, which the host does not
// look for.

#if defined(_WIN32)
#define STIMLOOM_EXPORT
#else
#define STIMLOOM_EXPORT __attribute__((visibility("default")))
#endif
