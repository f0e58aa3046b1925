// Splits the command's argument line into option arguments and one trailing
// free-text argument, in process-wide storage valid until the next call.
#pragma once

#include "sizes.h"

// The most arguments the table holds: those of a longer line are scanned
// but not stored.
enum { MAX_ARGS = 1024 };

typedef struct ArgEntry {
    wchar_t* start;                // into the argument buffer; null when unused
    int length;                    // characters, terminator not counted
} ArgEntry;

typedef struct ArgTable {
    wchar_t buffer[SHELL_TEXT_BUFFER_CHARS];   // the arguments, each NUL-terminated
    ArgEntry entries[MAX_ARGS];
    int count;                     // entries in use
    int overflowSlot;              // slot counter where the last call ran out
                                   // of buffer, or -1 when it did not
} ArgTable;

extern ArgTable g_args;

// Rebuilds g_args from text. Returns the argument count (0 to MAX_ARGS), or
// -1 for a null text (table untouched) or an overflow (count 0, overflowSlot
// set; the caller reports it). A free-text argument that opens with double
// quotes keeps them as typed.
int TokenizeArguments(const wchar_t* text);

