// Sizes shared by every part of the plug-in, one name each. Depends on
// nothing with Windows in it, so that the text-processing code also builds
// natively.
#pragma once

#include "../host/shell_buffers.h"

#include <stddef.h>

#define COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))

enum {
    // A shell result buffer, every text handed to the shell to expand or
    // run, the tokenizer's argument buffer (its MAX_ARG_LEN), the slow
    // command read from the registry: 8191 characters and the terminator.
    // The shell is told no size when it expands or runs a text and may write
    // that many into any buffer, so even a probe whose answer is normally a
    // few characters gets the full size.
    TEXT_BUFFER_CHARS = SHELL_TEXT_BUFFER_CHARS,
    MAX_TEXT_CHARS = TEXT_BUFFER_CHARS - 1,
    // The shell's Usage buffer.
    USAGE_BUFFER_CHARS = SHELL_USAGE_BUFFER_CHARS,
};
