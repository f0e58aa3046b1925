// Small wide-text helpers shared by every subsystem.
#include "plugin.h"

#include <wchar.h>

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

// The heap holds only the slow command and the last command word; both come
// from the process heap with exactly their length plus the terminator.
wchar_t* DuplicateText(const wchar_t* text) {
    size_t chars = wcslen(text) + 1;
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, chars * sizeof(wchar_t)));
    if (copy)
        wmemcpy(copy, text, chars);
    return copy;
}

void FreeText(wchar_t* text) {
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
}

void ExpandInto(wchar_t* buffer, size_t chars, const wchar_t* text) {
    wmemset(buffer, L'\0', chars);
    CopyText(buffer, chars, text);
    ExpandVariables(buffer, 1);
}
