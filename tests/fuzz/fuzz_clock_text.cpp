// Clock text: FormatTicks (both forms) and WriteUnsigned64 on any 64-bit
// value, against an independent formulation (rounding in 128-bit arithmetic,
// then swprintf), a reading back of the written fields, and exactly sized
// buffers so that a write past the terminator is an address-sanitizer report.
#include "fuzz_support.h"

#include "text/clock_text.h"

#include <cstring>
#include <cwchar>

namespace {

const size_t HOURS_FORM_MAX = 19;
const size_t DAYS_FORM_MAX = 21;
const unsigned __int128 TICKS_PER_MS = 10000;

// The expected clock text: milliseconds = (ticks + 5000) / 10000, which is
// halves-up rounding, computed without 64-bit overflow.
std::wstring Expected(uint64_t ticks, bool daysForm) {
    unsigned __int128 ms = ((unsigned __int128)ticks + TICKS_PER_MS / 2) / TICKS_PER_MS;
    unsigned long long totalSeconds = (unsigned long long)(ms / 1000);
    unsigned msPart = (unsigned)(ms % 1000);
    unsigned secondPart = (unsigned)(totalSeconds % 60);
    unsigned minutePart = (unsigned)(totalSeconds / 60 % 60);
    unsigned long long hours = totalSeconds / 3600;
    wchar_t buffer[64];
    if (daysForm)
        std::swprintf(buffer, 64, L"%llu %02u:%02u:%02u.%03u", hours / 24, (unsigned)(hours % 24),
                      minutePart, secondPart, msPart);
    else
        std::swprintf(buffer, 64, L"%llu:%02u:%02u.%03u", hours, minutePart, secondPart, msPart);
    return buffer;
}

// Reads a field of exactly `width` digits (width 0: one or more digits, no
// leading zero unless the field is "0") at text[*at]; false if malformed.
bool ReadField(const std::wstring& text, size_t* at, size_t width, unsigned __int128* value) {
    size_t start = *at;
    while (*at < text.size() && text[*at] >= L'0' && text[*at] <= L'9')
        ++*at;
    size_t digits = *at - start;
    if (width ? digits != width : (digits == 0 || (digits > 1 && text[start] == L'0')))
        return false;
    *value = 0;
    for (size_t i = start; i < *at; ++i)
        *value = *value * 10 + unsigned(text[i] - L'0');
    return true;
}

bool Expect(const std::wstring& text, size_t* at, wchar_t c) {
    if (*at >= text.size() || text[*at] != c)
        return false;
    ++*at;
    return true;
}

// Parses clock text back into milliseconds, checking every field's width
// and range; false for malformed text.
bool ReadClockText(const std::wstring& text, bool daysForm, unsigned __int128* ms) {
    size_t at = 0;
    unsigned __int128 days = 0, hours = 0, minutes = 0, seconds = 0, millis = 0;
    if (daysForm) {
        if (!ReadField(text, &at, 0, &days) || !Expect(text, &at, L' ') ||
            !ReadField(text, &at, 2, &hours) || hours >= 24)
            return false;
    } else if (!ReadField(text, &at, 0, &hours)) {
        return false;
    }
    if (!Expect(text, &at, L':') || !ReadField(text, &at, 2, &minutes) || minutes >= 60 ||
        !Expect(text, &at, L':') || !ReadField(text, &at, 2, &seconds) || seconds >= 60 ||
        !Expect(text, &at, L'.') || !ReadField(text, &at, 3, &millis) || at != text.size())
        return false;
    *ms = (((days * 24 + hours) * 60 + minutes) * 60 + seconds) * 1000 + millis;
    return true;
}

void CheckFormat(uint64_t ticks, bool daysForm) {
    std::wstring expected = Expected(ticks, daysForm);
    FUZZ_CHECK(expected.size() <= (daysForm ? DAYS_FORM_MAX : HOURS_FORM_MAX),
               "reference text too long for %llu", (unsigned long long)ticks);
    // Exactly the expected length plus the terminator.
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[expected.size() + 1]);
    int result = FormatTicks(ticks, buffer.get(), daysForm ? 1 : 0);
    FUZZ_CHECK(result == 0, "FormatTicks(%llu) returned %d", (unsigned long long)ticks, result);
    std::wstring written(buffer.get(), expected.size());
    FUZZ_CHECK(written == expected && buffer[expected.size()] == L'\0',
               "FormatTicks(%llu, %s form) wrote %s, expected %s", (unsigned long long)ticks,
               daysForm ? "days" : "hours", Show(buffer.get(), expected.size()).c_str(),
               Show(expected).c_str());

    // Reading the text back gives the nearest millisecond, halves up:
    // ms * 10000 - 5000 <= ticks < ms * 10000 + 5000.
    unsigned __int128 ms = 0;
    FUZZ_CHECK(ReadClockText(written, daysForm, &ms), "malformed clock text %s for %llu",
               Show(written).c_str(), (unsigned long long)ticks);
    unsigned __int128 t = ticks;
    FUZZ_CHECK(ms * TICKS_PER_MS <= t + TICKS_PER_MS / 2 && t + TICKS_PER_MS / 2 < (ms + 1) * TICKS_PER_MS,
               "%s is not %llu ticks rounded to milliseconds", Show(written).c_str(),
               (unsigned long long)ticks);

    // A non-zero days flag other than 1 selects the days form too.
    if (daysForm) {
        std::unique_ptr<wchar_t[]> other(new wchar_t[expected.size() + 1]);
        FUZZ_CHECK(FormatTicks(ticks, other.get(), -7) == 0 &&
                       std::wmemcmp(other.get(), buffer.get(), expected.size() + 1) == 0,
                   "daysForm -7 differs from 1 for %llu", (unsigned long long)ticks);
    }
}

void CheckUnsigned(uint64_t value) {
    wchar_t expected[32];
    int length = std::swprintf(expected, 32, L"%llu", (unsigned long long)value);
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[length + 1]);
    size_t written = WriteUnsigned64(value, buffer.get());
    FUZZ_CHECK(written == size_t(length) && std::wmemcmp(buffer.get(), expected, length + 1) == 0,
               "WriteUnsigned64(%llu) wrote %s", (unsigned long long)value,
               Show(buffer.get(), written < size_t(length) ? written : size_t(length)).c_str());
}

void CheckTicks(uint64_t ticks) {
    CheckFormat(ticks, false);
    CheckFormat(ticks, true);
    CheckUnsigned(ticks);
}

}  // namespace

// Each 8 bytes of input (two counts at most) are one tick count (a short
// tail is zero-padded); each count is also tried at the rounding edges of
// its millisecond.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t MAX_BYTES = 16;
    if (size > MAX_BYTES)
        size = MAX_BYTES;
    for (size_t at = 0; at < size || at == 0; at += 8) {
        uint8_t bytes[8] = {0};
        if (size > at)
            std::memcpy(bytes, data + at, size - at < 8 ? size - at : 8);
        uint64_t ticks = 0;
        std::memcpy(&ticks, bytes, 8);
        CheckTicks(ticks);
        uint64_t base = ticks - ticks % 10000;
        CheckTicks(base + 4999);   // may wrap near the top: still a valid count
        CheckTicks(base + 5000);
        if (size == 0)
            break;
    }
    FUZZ_CHECK(FormatTicks(1, nullptr, 0) == -1 && FormatTicks(1, nullptr, 1) == -1,
               "FormatTicks with a null buffer");
    FUZZ_CHECK(WriteUnsigned64(1, nullptr) == 0, "WriteUnsigned64 with a null buffer");
    return 0;
}
