// Number text: whole-text unsigned decimal, or hexadecimal after 0x / 0X.
#include "number_text.h"

// Value of c as a digit of base 10 or 16 (ASCII digits and letters only),
// or -1.
static int DigitValue(wchar_t c, unsigned base) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (base == HEXADECIMAL_BASE) {
        if (c >= L'a' && c <= L'f')
            return c - L'a' + 10;
        if (c >= L'A' && c <= L'F')
            return c - L'A' + 10;
    }
    return -1;
}

// True when text starts with 0x or 0X followed by a hexadecimal digit.
static bool HasHexPrefix(const wchar_t* text) {
    return text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') &&
           DigitValue(text[2], HEXADECIMAL_BASE) >= 0;
}

// Reads the whole text as a number no larger than limit. The base-16
// conversion, like the standard unsigned conversion, passes over one prefix
// of its own, so 0x0x1F is 31. 0 and *value set, or -1 and *value untouched.
static int ParseUnsigned(const wchar_t* text, uint64_t limit, uint64_t* value) {
    const wchar_t* digit = text;
    unsigned base = DECIMAL_BASE;
    if (HasHexPrefix(text)) {
        base = HEXADECIMAL_BASE;
        digit = text + 2;
        if (HasHexPrefix(digit))
            digit += 2;
    } else if (DigitValue(text[0], DECIMAL_BASE) < 0) {
        return -1;    // empty, blank, sign or anything else up front
    }

    uint64_t number = 0;
    for (; *digit; ++digit) {
        int d = DigitValue(*digit, base);
        if (d < 0)
            return -1;    // characters left over after the digits
        uint64_t next = static_cast<uint64_t>(d);
        if (number > (limit - next) / base)
            return -1;    // out of range
        number = number * base + next;
    }
    *value = number;
    return 0;
}

int ParseNumber32(const wchar_t* text, uint32_t* value) {
    if (!text || !value)
        return -1;
    uint64_t number = 0;
    if (ParseUnsigned(text, UINT32_MAX, &number) != 0)
        return -1;
    *value = static_cast<uint32_t>(number);
    return 0;
}

int ParseNumber64(const wchar_t* text, uint64_t* value) {
    if (!text || !value)
        return -1;
    return ParseUnsigned(text, UINT64_MAX, value);
}
