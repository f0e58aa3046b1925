// The timing state: started by Enter on a non-blank line, stopped by the next
// prompt. Durations and totals are unsigned 64-bit and wrap silently.
#include "timing.h"

#include "../settings/settings.h"

#include <wchar.h>
#include <wctype.h>

TimingState g_timing;

uint64_t ReadSystemTicks(void) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// A second Enter before the prompt keeps the first start and count.
int StartTiming(void) {
    if (g_timing.active)
        return 0;
    uint64_t now = ReadSystemTicks();
    g_timing.commandCount += 1;
    g_timing.startTime = now;
    g_timing.active = 1;
    return 0;
}

// The line during which a reset was asked for is added, then discarded.
int StopTiming(void) {
    if (!g_timing.active)
        return 0;
    uint64_t now = ReadSystemTicks();
    g_timing.lastDuration = now - g_timing.startTime;
    g_timing.total += g_timing.lastDuration;
    g_timing.active = 0;
    if (g_timing.resetPending) {
        g_timing.total = 0;
        g_timing.resetPending = 0;
    }
    return 0;
}

int IsNonBlank(const wchar_t* text) {
    if (!text)
        return 0;
    for (; *text; ++text) {
        if (!iswspace(*text))
            return 1;
    }
    return 0;
}

void FreeLastCommandWord(void) {
    FreeText(g_timing.lastCommandWord);
    g_timing.lastCommandWord = nullptr;
}

// Fills word (MAX_TEXT_CHARS and the terminator) with the first word of text:
// quotes kept and toggling the quoted state, one leading at sign dropped,
// characters past the cap dropped. Returns the word's length.
static size_t ExtractFirstWord(const wchar_t* text, wchar_t* word) {
    while (*text && iswspace(*text))
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
        if (!quoted && iswspace(c))
            break;
        if (length < MAX_TEXT_CHARS)
            word[length++] = c;
    }
    word[length] = L'\0';
    return length;
}

int CaptureFirstWord(const wchar_t* text) {
    if (!text)
        return -1;
    FreeLastCommandWord();
    wchar_t word[TEXT_BUFFER_CHARS];
    if (ExtractFirstWord(text, word) == 0)
        return 0;
    g_timing.lastCommandWord = DuplicateText(word);
    return g_timing.lastCommandWord ? 0 : 1;
}

// The shell gets a copy: the command it runs may replace or remove the slow
// command while it runs. A command too long for the copy is not run at all
// rather than run cut short.
int RunSlowCommand(void) {
    if (!g_settings.slowCommand || wcslen(g_settings.slowCommand) > MAX_TEXT_CHARS)
        return 0;
    wchar_t line[TEXT_BUFFER_CHARS];
    wmemset(line, L'\0', COUNT_OF(line));
    CopyText(line, COUNT_OF(line), g_settings.slowCommand);
    if (line[0])
        Command(line, 0);
    return 0;
}
