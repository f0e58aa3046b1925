// The sixteen functions the plug-in exports, as the shell calls them. Each
// is defined by the part that does the work; declared here once, for export
// under its plain name (on x86 the linker's --kill-at drops the @N of the
// stdcall name) and for the tests.
#pragma once

#include "../host/takecmd.h"

#ifdef __cplusplus
#define LAPWATCH_EXPORT extern "C" __declspec(dllexport)
#else
#define LAPWATCH_EXPORT __declspec(dllexport)
#endif

// Start-up and tear-down (lifecycle/).
LAPWATCH_EXPORT PluginInfo* PLUGIN_API GetPluginInfo(void);
LAPWATCH_EXPORT int PLUGIN_API InitializePlugin(void);
LAPWATCH_EXPORT int PLUGIN_API ShutdownPlugin(int endProcess);

// The key handler, "*key" in the function list (timing/).
LAPWATCH_EXPORT int PLUGIN_API key(KeyEvent* event);

// Variables and variable functions (variables/): each takes the shell's
// 8192-character result buffer.
typedef int PLUGIN_API ResultBufferExport(wchar_t* buffer);
LAPWATCH_EXPORT ResultBufferExport _cmdcount, _cmdticks, _cmdtime, _cmdtotalticks, _cmdtotaltime, _lastcmd, _ticks;
LAPWATCH_EXPORT ResultBufferExport f_tickstotime, f_tickstotimed;

// The command and the help system (command/).
LAPWATCH_EXPORT int PLUGIN_API lapwatch(wchar_t* arguments);
LAPWATCH_EXPORT int PLUGIN_API Help(wchar_t* name);
LAPWATCH_EXPORT int PLUGIN_API Usage(wchar_t* name, wchar_t* buffer);
