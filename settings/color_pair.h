// The rule that a timer colour attribute must follow; no dependencies, so
// that the option scan builds natively as well.
#pragma once

#include <stdint.h>

// True when a colour attribute fits a byte and its two nibbles (foreground
// low, background next) differ.
int IsValidColorPair(uint32_t colors);
