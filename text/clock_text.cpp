// Clock text: tick counts rounded to milliseconds, and unsigned decimals.
#include "clock_text.h"

#include "number_text.h"

enum {
    HALF_MILLISECOND_TICKS = TICKS_PER_MILLISECOND / 2,
    MILLISECONDS_PER_SECOND = 1000,
    SECONDS_PER_MINUTE = 60,
    MINUTES_PER_HOUR = 60,
    HOURS_PER_DAY = 24,
};

// Writes value as at least `width` decimal digits, zero-filled on the left
// (width 1 for no padding); no terminator. Returns the characters written.
static size_t WriteDigits(uint64_t value, unsigned width, wchar_t* target) {
    wchar_t reversed[UINT64_DECIMAL_CHARS];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<wchar_t>(L'0' + value % DECIMAL_BASE);
        value /= DECIMAL_BASE;
    } while (value != 0);
    while (count < width && count < UINT64_DECIMAL_CHARS)
        reversed[count++] = L'0';
    for (size_t i = 0; i < count; ++i)
        target[i] = reversed[count - 1 - i];
    return count;
}

size_t WriteUnsigned64(uint64_t value, wchar_t* buffer) {
    if (!buffer)
        return 0;
    size_t length = WriteDigits(value, 1, buffer);
    buffer[length] = L'\0';
    return length;
}

// Rounds halves up; the quotient is far below 2^64 - 1, so adding the
// rounding millisecond never overflows.
int FormatTicks(uint64_t ticks, wchar_t* buffer, int daysForm) {
    if (!buffer)
        return -1;
    uint64_t milliseconds = ticks / TICKS_PER_MILLISECOND;
    if (ticks % TICKS_PER_MILLISECOND >= HALF_MILLISECOND_TICKS)
        ++milliseconds;

    uint64_t seconds = milliseconds / MILLISECONDS_PER_SECOND;
    unsigned millisecondPart = static_cast<unsigned>(milliseconds % MILLISECONDS_PER_SECOND);
    uint64_t minutes = seconds / SECONDS_PER_MINUTE;
    unsigned secondPart = static_cast<unsigned>(seconds % SECONDS_PER_MINUTE);
    uint64_t hours = minutes / MINUTES_PER_HOUR;
    unsigned minutePart = static_cast<unsigned>(minutes % MINUTES_PER_HOUR);

    // "%I64u:%02u:%02u.%03u" or "%I64u %02u:%02u:%02u.%03u"
    size_t at = 0;
    if (daysForm) {
        at += WriteDigits(hours / HOURS_PER_DAY, 1, buffer + at);
        buffer[at++] = L' ';
        at += WriteDigits(hours % HOURS_PER_DAY, 2, buffer + at);
    } else {
        at += WriteDigits(hours, 1, buffer + at);
    }
    buffer[at++] = L':';
    at += WriteDigits(minutePart, 2, buffer + at);
    buffer[at++] = L':';
    at += WriteDigits(secondPart, 2, buffer + at);
    buffer[at++] = L'.';
    at += WriteDigits(millisecondPart, 3, buffer + at);
    buffer[at] = L'\0';
    return 0;
}
