// Sizes shared by every part of the plug-in, one name each. Depends on
// nothing, so that the text-processing code also builds natively.
#pragma once

#include <stddef.h>

#define COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))

enum {
    // A shell result buffer, every text handed to the shell to expand or
    // run, the tokenizer's argument buffer (its MAX_ARG_LEN), the slow
    // command read from the registry: 8191 characters and the terminator.
    // The shell is told no size when it expands or runs a text and may write
    // that many into any buffer, so even a probe whose answer is normally a
    // few characters gets the full size.
    TEXT_BUFFER_CHARS = 8192,
    MAX_TEXT_CHARS = TEXT_BUFFER_CHARS - 1,
    // The shell's Usage buffer, the report's colour description.
    SHORT_BUFFER_CHARS = 1024,
};
