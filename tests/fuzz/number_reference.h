// An independent reading of number text, for comparison with ParseNumber32
// and ParseNumber64: the grammar written out on std::wstring, the range
// checked by comparing digit strings, not by arithmetic overflow tests.
#pragma once

#include <cstdint>
#include <string>

namespace reference {

inline bool IsDecimalDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

inline bool IsHexDigit(wchar_t c) {
    return IsDecimalDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

inline bool HasHexPrefix(const std::wstring& text) {
    return text.size() >= 3 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') &&
           IsHexDigit(text[2]);
}

// Digits without their leading zeros; all zeros give the empty text.
inline std::wstring StripZeros(const std::wstring& digits) {
    size_t first = digits.find_first_not_of(L'0');
    return first == std::wstring::npos ? std::wstring() : digits.substr(first);
}

// True when the digit string (no leading zeros, lower-case or upper-case
// hex) is at most the largest value of `bits` bits in that base.
inline bool Fits(const std::wstring& digits, unsigned base, unsigned bits) {
    std::wstring largest;
    if (base == 10)
        largest = bits == 32 ? L"4294967295" : L"18446744073709551615";
    else
        largest = std::wstring(bits / 4, L'F');
    if (digits.size() != largest.size())
        return digits.size() < largest.size();
    for (size_t i = 0; i < digits.size(); ++i) {
        wchar_t d = digits[i];
        if (d >= L'a' && d <= L'f')
            d = static_cast<wchar_t>(d - L'a' + L'A');
        if (d != largest[i])
            return d < largest[i];
    }
    return true;
}

inline uint64_t DigitsValue(const std::wstring& digits, unsigned base) {
    uint64_t value = 0;
    for (wchar_t d : digits) {
        unsigned v = IsDecimalDigit(d) ? unsigned(d - L'0')
                     : (d >= L'a' && d <= L'f') ? unsigned(d - L'a' + 10)
                                                : unsigned(d - L'A' + 10);
        value = value * base + v;
    }
    return value;
}

// The number grammar: decimal digits, or 0x / 0X and hex digits (with one
// more 0x / 0X prefix allowed directly after the first when hex digits
// follow it), filling the whole text, within `bits` bits. True and *value
// set, or false.
inline bool ParseNumber(const std::wstring& text, unsigned bits, uint64_t* value) {
    std::wstring digits;
    unsigned base = 10;
    if (HasHexPrefix(text)) {
        base = 16;
        digits = text.substr(2);
        if (HasHexPrefix(digits))
            digits = digits.substr(2);
        for (wchar_t c : digits)
            if (!IsHexDigit(c))
                return false;
    } else {
        if (text.empty() || !IsDecimalDigit(text[0]))
            return false;
        digits = text;
        for (wchar_t c : digits)
            if (!IsDecimalDigit(c))
                return false;
    }
    digits = StripZeros(digits);
    if (!Fits(digits, base, bits))
        return false;
    *value = DigitsValue(digits, base);
    return true;
}

}  // namespace reference
