#include "timer_text.h"

#include "../plugin/shell_text.h"

#include <wchar.h>

// A value that does not fit leaves the buffer's content undefined: it is
// taken as absent, like an empty one.
static void ReadTimerFormat(wchar_t* buffer, size_t chars) {
    wmemset(buffer, L'\0', chars);
    DWORD got = GetEnvironmentVariableW(L"LAPWATCHFMT", buffer, static_cast<DWORD>(chars));
    if (got == 0 || got >= chars || buffer[0] == L'\0')
        CopyText(buffer, chars, DEFAULT_TIMER_FORMAT);
}

// Whatever the expansion leaves in the buffer is the text; its result is
// not looked at.
void MakeTimerText(wchar_t* text) {
    ReadTimerFormat(text, SHELL_TEXT_BUFFER_CHARS);
    QuietExpand(text);
}
