// Process-wide values of the plug-in frame and the small routines that every
// subsystem uses: the console output handle, the recent-host flag, the
// host-version probe, the interactive test and the error prefix.
#pragma once

#include "../host/takecmd.h"
#include "limits.h"
#include "text.h"
#include "version.h"               // generated: numbers, file name, platform

#define PLUGIN_NAME L"Lapwatch"
#define PLUGIN_DESCRIPTION L"Automatic command timer for Take Command"

// Host version range that the probe accepts.
enum { HOST_VERSION_MIN = 8, HOST_VERSION_MAX = 100, HOST_VERSION_RECENT = 24 };

typedef struct PluginFrame {
    HANDLE consoleOutput;          // "CONOUT$", or null when not opened
    int recentHost;                // 1 when the shell's major version >= 24
} PluginFrame;

extern PluginFrame g_frame;

// Host version 8..100 read from %_4ver, else 0; sets g_frame.recentHost.
unsigned ProbeHostVersion(void);

// True when the shell is neither transient nor piped ("%[_transient]%[_pipe]"
// expands to exactly "00").
int IsInteractive(void);

// Writes "Lapwatch plugin: " to standard error, followed inside a batch file
// by the batch name and line. Every error message starts with it.
void WriteErrorPrefix(void);

// Writes the error prefix, then the message (a Qprintf format taking at most
// one wide text) to standard error.
void WriteError(const wchar_t* format, const wchar_t* text);

// Copies text into a cleared buffer of the given size and has the shell
// expand it in place.
void ExpandInto(wchar_t* buffer, size_t chars, const wchar_t* text);

// Heap copy of text with exactly its length plus the terminator; null when
// no memory is available. FreeText accepts null.
wchar_t* DuplicateText(const wchar_t* text);
void FreeText(wchar_t* text);
