// The shell's buffer sizes and the element count of an array, for every part
// of the plug-in. Depends on nothing with Windows in it, so that the
// text-processing code also builds natively.
#pragma once

#include "../host/shell_buffers.h"

#include <stddef.h>

#define COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))
