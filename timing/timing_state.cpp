// Durations never wrap: a line during which the clock was set back lasted 0
// ticks. The count and the total are unsigned 64-bit and wrap silently.
#include "timing_state.h"

#include "../plugin/shell_text.h"
#include "../text/first_word.h"


TimingState g_timing;

uint64_t ReadSystemTicks(void) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

uint64_t RunningTicks(void) {
    uint64_t now = ReadSystemTicks();
    return now < g_timing.startTime ? 0 : now - g_timing.startTime;
}

void StartTiming(void) {
    if (g_timing.active)
        return;
    uint64_t now = ReadSystemTicks();
    g_timing.commandCount += 1;
    g_timing.startTime = now;
    g_timing.active = true;
}

// The line during which a reset was asked for is added, then discarded.
bool StopTiming(void) {
    if (!g_timing.active)
        return false;
    g_timing.lastDuration = RunningTicks();
    g_timing.total += g_timing.lastDuration;
    g_timing.active = false;
    if (g_timing.resetPending) {
        g_timing.total = 0;
        g_timing.resetPending = false;
    }
    return true;
}


static void FreeLastCommandWord(void) {
    FreeText(g_timing.lastCommandWord);
    g_timing.lastCommandWord = nullptr;
}

void ShutdownTiming(void) { FreeLastCommandWord(); }

void SetCommandCount(uint64_t count) { g_timing.commandCount = count; }

void RequestTotalReset(void) { g_timing.resetPending = true; }

int CaptureFirstWord(const wchar_t* text) {
    if (!text)
        return -1;
    FreeLastCommandWord();
    wchar_t word[SHELL_TEXT_MAX_CHARS + 1];
    if (ExtractFirstWord(text, word) == 0)
        return 0;
    g_timing.lastCommandWord = DuplicateText(word);
    return g_timing.lastCommandWord ? 0 : 1;
}
