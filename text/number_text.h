// Number text: the whole text an unsigned decimal, or hexadecimal after
// 0x or 0X. Read by the variable functions and the command's options.
#pragma once

#include <stdint.h>

enum { DECIMAL_BASE = 10, HEXADECIMAL_BASE = 16 };

// 0 and the value stored, or -1 with the value left alone (missing pointer,
// any other form, out of range, characters left over).
int ParseNumber32(const wchar_t* text, uint32_t* value);
int ParseNumber64(const wchar_t* text, uint64_t* value);
