// Every function the plug-in exports, as the shell calls them: those of
// start-up and tear-down, one for each entry of LAPWATCH_ENTRIES, and those
// of the help system. Each is defined by the part that does the work;
// declared here once, for export under its plain name (on x86 the linker's
// --kill-at drops the @N of the stdcall name) and for the tests.
#pragma once

#include "../host/takecmd.h"
#include "entries.h"

#ifdef __cplusplus
#define LAPWATCH_EXPORT extern "C" __declspec(dllexport)
#else
#define LAPWATCH_EXPORT __declspec(dllexport)
#endif

// Start-up and tear-down (lifecycle/).
LAPWATCH_EXPORT PluginInfo* PLUGIN_API GetPluginInfo(void);
LAPWATCH_EXPORT int PLUGIN_API InitializePlugin(void);
LAPWATCH_EXPORT int PLUGIN_API ShutdownPlugin(int endProcess);

// The entries of the function list (entries.h), one type per kind: the
// command (command/) takes its argument text, the variables and variable
// functions (variables/) the shell's result buffer, the key handler
// (timing/) the key event record.
typedef int PLUGIN_API COMMAND_EXPORT(wchar_t* arguments);
typedef int PLUGIN_API VARIABLE_EXPORT(wchar_t* buffer);
typedef int PLUGIN_API FUNCTION_EXPORT(wchar_t* buffer);
typedef int PLUGIN_API KEY_HANDLER_EXPORT(KeyEvent* event);
#define DECLARE_EXPORT(kind, name, help) LAPWATCH_EXPORT kind##_EXPORT EXPORT_##kind(name);
LAPWATCH_ENTRIES(DECLARE_EXPORT, )

// The help system (command/).
LAPWATCH_EXPORT int PLUGIN_API Help(wchar_t* name);
LAPWATCH_EXPORT int PLUGIN_API Usage(wchar_t* name, wchar_t* buffer);
