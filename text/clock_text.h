// Clock text: tick counts as "H:MM:SS.mmm" or "D HH:MM:SS.mmm", and tick
// counts as unpadded decimals.
#pragma once

#include <stdint.h>
#include <stddef.h>

// Ticks are 100-nanosecond units.
enum {
    TICKS_PER_MILLISECOND = 10000,
    TICKS_PER_SECOND = 10000000,
};

enum { CLOCK_TEXT_CHARS = 22 };    // the longest clock text and its terminator
enum { UINT64_DECIMAL_CHARS = 20 }; // digits of 2^64 - 1

// Writes ticks rounded to milliseconds as "H:MM:SS.mmm" (daysForm 0) or
// "D HH:MM:SS.mmm". -1 for a null buffer, else 0.
int FormatTicks(uint64_t ticks, wchar_t* buffer, int daysForm);

// Writes value as "%I64u" (unpadded unsigned decimal) and its terminator;
// needs UINT64_DECIMAL_CHARS + 1 characters. Returns the digits written,
// 0 for a null buffer.
size_t WriteUnsigned64(uint64_t value, wchar_t* buffer);
