// Small wide-text helpers shared by every subsystem; C library only, so that
// the text-processing code builds natively as well.
#include "text.h"

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

void UpperCaseAscii(wchar_t* text) {
    if (!text)
        return;
    for (; *text; ++text) {
        if (*text >= L'a' && *text <= L'z')
            *text = static_cast<wchar_t>(*text - L'a' + L'A');
    }
}
