#pragma once
// The plug-in's entry points: plain C names, no arguments, never throwing.

#include "plugin/plugin_interface.h"

extern "C" {
// A new Stimloom on each call (null only when memory is exhausted).
STIMLOOM_EXPORT MNZRPluginInterface* createPlugin();
// "stimloom (v0.8.7)"
STIMLOOM_EXPORT const char* getPluginName();
STIMLOOM_EXPORT const char* getPluginDescription();
STIMLOOM_EXPORT const char* getAuthor();
// Both empty, never null.
STIMLOOM_EXPORT const char* getHelpFile();
STIMLOOM_EXPORT const char* getRegistrationOfGenericComponentLoader();
}
