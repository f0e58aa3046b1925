// Validity of a timer colour attribute.
#include "color_pair.h"

enum { NIBBLE_BITS = 4, NIBBLE_MASK = 0x0F, BYTE_MAX_VALUE = 0xFF };

int IsValidColorPair(uint32_t colors) {
    return colors <= BYTE_MAX_VALUE && (colors & NIBBLE_MASK) != ((colors >> NIBBLE_BITS) & NIBBLE_MASK);
}
