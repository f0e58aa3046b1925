// A timer colour attribute: foreground colour 0 to 15 in the low four bits,
// background in the next four. No dependencies, so that the option scan
// builds natively as well.
#pragma once

#include <stdint.h>

// Foreground and background of an attribute.
uint32_t ForegroundOf(uint32_t colors);
uint32_t BackgroundOf(uint32_t colors);

// True for a console colour index, 0 to 15.
bool IsColorIndex(int color);

// The attribute of two colour indexes 0 to 15.
uint32_t MakeColorPair(uint32_t foreground, uint32_t background);

// True when a colour attribute fits a byte and its two nibbles differ.
bool IsValidColorPair(uint32_t colors);
