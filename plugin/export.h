#pragma once
// Marks what the plug-in library exports to the host.

#if defined(_WIN32)
#if defined(STIMLOOM_BUILDING_PLUGIN)
#define STIMLOOM_EXPORT __declspec(dllexport)
#else
#define STIMLOOM_EXPORT __declspec(dllimport)
#endif
#else
#define STIMLOOM_EXPORT __attribute__((visibility("default")))
#endif
