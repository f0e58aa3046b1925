// Control interface of the stand-in shell library. The eight shell functions
// of host/takecmd.h are what plug-ins use; these extra exports are for the
// stand-in's console program and for tests, which drive the library the way
// the shell's own front end would. All are __cdecl with plain names.
#pragma once

#include "../../host/takecmd.h"

#ifdef STANDIN_BUILDING
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

enum { STANDIN_OUT = 1, STANDIN_ERR = 2 };

// Loads a plug-in: LoadLibraryW, GetPluginInfo, remembers its function list.
// Does not call InitializePlugin. Returns the module, or null on failure.
STANDIN_API HMODULE StandInLoadPlugin(const wchar_t* path);
// Calls InitializePlugin of every loaded plug-in that has not been started;
// returns the number of plug-ins whose InitializePlugin returned 0.
STANDIN_API int StandInStartPlugins(void);
// Calls ShutdownPlugin(0) of each started plug-in, then frees every library.
STANDIN_API void StandInUnloadPlugins(void);
// Calls every loaded plug-in's key handler ("*name" in its function list).
STANDIN_API void StandInSendKey(int keyCode, const wchar_t* keyName, wchar_t* commandLine);
// The prompt event: key code 0, no key name.
STANDIN_API void StandInPromptEvent(void);
// A key with no character (Up, Down): by its name with key code 0 when
// _4ver is 24 or more; for an older host, whose plug-ins take key code 0
// for the prompt event, with the code 0x10000 + the virtual-key code.
STANDIN_API void StandInSendNamedKey(int virtualKey, const wchar_t* keyName, wchar_t* commandLine);

// Shell variables: _4ver, _transient, _pipe, _batch, _batchname, _batchline
// and any other name the front end wants expanded before the environment.
// A null value removes the variable.
STANDIN_API void StandInSetVariable(const wchar_t* name, const wchar_t* value);
// Long answers: while on, every variable the shell itself answers (not a
// plug-in's) expands to 8191 characters, the most the shell writes.
STANDIN_API void StandInSetLongAnswers(int on);

// Status bar: present (1) makes TakeCommandIPC("STATUSBAR", text) succeed.
STANDIN_API void StandInSetStatusBar(int present);
// The last text the status bar received, and how many requests it took.
STANDIN_API const wchar_t* StandInStatusText(void);
STANDIN_API int StandInStatusCount(void);

// Output capture: while on, what Printf, QPuts, CrLf and Qprintf write to the
// standard output or standard error handle noted when capture started is kept
// in memory instead; writes to any other handle (such as "nul") go there.
STANDIN_API void StandInCapture(int on);
STANDIN_API const wchar_t* StandInCaptured(int stream);
STANDIN_API void StandInClearCaptured(void);

// Runs a line as the shell would: built-ins, plug-in commands, batch files.
STANDIN_API int StandInRunLine(const wchar_t* line);
// Lines handed to Command() so far, each ending in '\n'.
STANDIN_API const wchar_t* StandInCommandLog(void);
// Set by the exit command.
STANDIN_API int StandInExitRequested(void);
// Ctrl+C and Ctrl+Break: a manual-reset event that the front end's console
// control handler sets, from any thread. A running delay ends at once, a
// batch file stops before its next line, and StandInRunLine then writes
// "^C" and a line end, resets the event and returns 3. At the prompt the
// front end waits on it beside the console input and resets it itself.
STANDIN_API HANDLE StandInInterruptEvent(void);

// Additions for the console program and for tests.
// Writes text to standard output (STANDIN_OUT) or error, as Printf would.
STANDIN_API void StandInWrite(int stream, const wchar_t* text);
// Back to the state at load, plug-ins aside: shell variables at their
// defaults, long answers off, empty command log, no exit request, no Ctrl+C
// pending, status bar absent with no text and a count of 0, capture off and
// empty.
STANDIN_API void StandInReset(void);
