// Scanning the lapwatch command's arguments into the changes they ask for.
// Pure text processing: the command applies the result and writes the
// messages.
#pragma once

#include "tokenizer.h"

#include <stdint.h>

// Reads a colour description into two console colour indexes; the shell's
// ParseColors in the plug-in, a stand-in in native tests.
typedef int (*ColorReader)(wchar_t* text, int* foreground, int* background);

// A registry root of the settings: where /S or /S! saves, where /R found them.
enum SettingsScope { SCOPE_NONE, SCOPE_CURRENT_USER, SCOPE_LOCAL_MACHINE };

// What one run has been asked to change.
typedef struct PendingValues {
    int hasShowTimer;
    uint32_t showTimer;
    int hasColors;
    uint32_t colors;
    int hasSlowSeconds;
    uint32_t slowSeconds;
    const wchar_t* slowCommand;    // in the argument table, or null
    int restoreDefaults;
    int restoreRegistry;
    int resetTotal;
    enum SettingsScope saveScope;
    int hasCommandCount;           // /K or /K:n was reached: it takes effect
    uint64_t commandCount;         // even when a later argument fails
} PendingValues;

enum ScanOutcome {
    SCAN_DONE,                     // all arguments taken
    SCAN_HELP,                     // "/?"
    SCAN_HELP_VERSION,             // "/??"
    SCAN_BAD_SUBOPTION,
    SCAN_BAD_COLORS,
    SCAN_BAD_NUMBER,
    SCAN_UNKNOWN_OPTION,
};

// True for the characters that may join an option to its value: ':' and '='.
bool IsValueSeparator(wchar_t c);

// Scans the arguments of the table in order into pending (cleared first)
// and stops at the first help option or error. For an error, *shown points
// at the text its message quotes (inside the table's buffer, upper-cased
// where the message wants it), else it is null.
enum ScanOutcome ScanArguments(ArgTable* args, ColorReader readColors, PendingValues* pending,
                               const wchar_t** shown);
