// Text helpers that need Windows or the shell: heap copies and expansion.
#include "shell_text.h"

#include <wchar.h>

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
