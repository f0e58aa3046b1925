// What start-up learns about the shell and keeps for the other parts: the
// console output handle and the recent-host flag.
#pragma once

#include "plugin.h"

typedef struct PluginFrame {
    HANDLE consoleOutput;          // "CONOUT$", or null when not opened
    bool recentHost;               // IsRecentHost() at start-up
} PluginFrame;

extern PluginFrame g_frame;

// True when the shell's major version, read from %_4ver, is a recent host's:
// one that may give Enter and Esc by key name.
bool IsRecentHost(void);

// The interactive test's variables: exactly "00" in a shell that is neither
// transient nor piped.
#define INTERACTIVE_VARIABLES L"%[_transient]%[_pipe]"

// True when probe (INTERACTIVE_VARIABLES, perhaps followed by references
// that must expand to nothing) expands to exactly "00".
bool ExpandsToInteractive(const wchar_t* probe);

bool IsInteractive(void);

// Opens "CONOUT$" as g_frame.consoleOutput, closing a handle left by an
// earlier start first. 0, or -1 when the console cannot be opened.
int OpenConsoleOutput(void);
void CloseConsoleOutput(void);
