// Small wide-text helpers shared by every subsystem; C library only, so that
// the text-processing code builds natively as well.
#include "wide_text.h"

#include <wchar.h>
#include <wctype.h>

void CopyText(wchar_t* target, size_t chars, const wchar_t* source) {
    if (!target || chars == 0)
        return;
    size_t i = 0;
    if (source) {
        for (; i + 1 < chars && source[i]; ++i)
            target[i] = source[i];
    }
    target[i] = L'\0';
}

void AppendText(wchar_t* target, size_t chars, const wchar_t* source) {
    size_t used = wcslen(target);
    CopyText(target + used, chars - used, source);
}

wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

void UpperCaseAscii(wchar_t* text) {
    if (!text)
        return;
    for (; *text; ++text)
        *text = UpperAscii(*text);
}

bool IsEqualNoCaseN(const wchar_t* a, const wchar_t* b, size_t chars) {
    for (size_t i = 0; i < chars; i++) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
        if (a[i] == L'\0')
            return true;
    }
    return true;
}

bool IsEqualNoCase(const wchar_t* a, const wchar_t* b) {
    for (size_t i = 0;; i++) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
        if (a[i] == L'\0')
            return true;
    }
}

bool IsNonBlank(const wchar_t* text) {
    if (!text)
        return false;
    for (; *text; ++text) {
        if (!iswspace(*text))
            return true;
    }
    return false;
}
