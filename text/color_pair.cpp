// Timer colour attributes: two nibbles of one byte.
#include "color_pair.h"

enum { NIBBLE_BITS = 4, NIBBLE_MASK = 0x0F, BYTE_MAX_VALUE = 0xFF, COLOR_INDEX_MAX = 15 };

uint32_t ForegroundOf(uint32_t colors) { return colors & NIBBLE_MASK; }

uint32_t BackgroundOf(uint32_t colors) { return (colors >> NIBBLE_BITS) & NIBBLE_MASK; }

bool IsColorIndex(int color) { return color >= 0 && color <= COLOR_INDEX_MAX; }

uint32_t MakeColorPair(uint32_t foreground, uint32_t background) {
    return (background << NIBBLE_BITS) | foreground;
}

bool IsValidColorPair(uint32_t colors) {
    return colors <= BYTE_MAX_VALUE && ForegroundOf(colors) != BackgroundOf(colors);
}
