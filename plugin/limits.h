// Sizes shared by every part of the plug-in. Depends on nothing, so that the
// text-processing code also builds for native test and fuzzing builds.
#pragma once

#include <stddef.h>

#define COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))

enum {
    TEXT_BUFFER_CHARS = 8192,      // a shell result buffer or a text to expand
    PROBE_BUFFER_CHARS = 1024,     // a start-up probe whose result is short
    MAX_TEXT_CHARS = TEXT_BUFFER_CHARS - 1,
};
