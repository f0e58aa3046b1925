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

int QuietExpand(wchar_t* text) {
    if (!text)
        return -1;
    HANDLE savedError = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE nul = CreateFileW(L"nul", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    int opened = nul != INVALID_HANDLE_VALUE;
    if (opened) {
        SetStdHandle(STD_ERROR_HANDLE, nul);
        SetStdHandle(STD_OUTPUT_HANDLE, nul);
    }
    int result = ExpandVariables(text, 1);
    if (opened) {
        SetStdHandle(STD_ERROR_HANDLE, savedError);
        SetStdHandle(STD_OUTPUT_HANDLE, savedOutput);
        CloseHandle(nul);
    }
    return result;
}
