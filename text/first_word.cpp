// The first word of a command line; standard C library only.
#include "first_word.h"

#include <wctype.h>

size_t ExtractFirstWord(const wchar_t* text, wchar_t* word) {
    while (*text && iswspace(static_cast<wint_t>(*text)))
        ++text;
    size_t length = 0;
    int quoted = 0;
    int atDropped = 0;
    for (; *text; ++text) {
        wchar_t c = *text;
        if (c == L'"')
            quoted = !quoted;
        if (c == L'@' && length == 0 && !atDropped) {
            atDropped = 1;
            continue;
        }
        if (!quoted && iswspace(static_cast<wint_t>(c)))
            break;
        if (length < SHELL_TEXT_MAX_CHARS)
            word[length++] = c;
    }
    word[length] = L'\0';
    return length;
}
