// Clock text: worked values and an independent formulation over random
// tick counts.
#include "text/clock_text.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <random>
#include <string>

namespace {

const wchar_t kFill = L'#';

// FormatTicks into a buffer prefilled with kFill; also checks that nothing
// past the terminator changed.
std::wstring Format(uint64_t ticks, int daysForm) {
    wchar_t buffer[64];
    std::wmemset(buffer, kFill, 64);
    EXPECT_EQ(0, FormatTicks(ticks, buffer, daysForm));
    size_t length = std::wcslen(buffer);
    EXPECT_LT(length, static_cast<size_t>(CLOCK_TEXT_CHARS));
    for (size_t i = length + 1; i < 64; ++i)
        EXPECT_EQ(kFill, buffer[i]) << "written past the terminator at " << i;
    return buffer;
}

struct FormatCase {
    uint64_t ticks;
    const wchar_t* hours;
    const wchar_t* days;
};

const FormatCase kFormatCases[] = {
    {0, L"0:00:00.000", L"0 00:00:00.000"},
    {4999, L"0:00:00.000", L"0 00:00:00.000"},
    {5000, L"0:00:00.001", L"0 00:00:00.001"},
    {14999, L"0:00:00.001", L"0 00:00:00.001"},
    {15000, L"0:00:00.002", L"0 00:00:00.002"},
    {1234567890, L"0:02:03.457", L"0 00:02:03.457"},
    {9995000, L"0:00:01.000", L"0 00:00:01.000"},
    {599995000, L"0:01:00.000", L"0 00:01:00.000"},
    {35999994999ull, L"0:59:59.999", L"0 00:59:59.999"},
    {35999995000ull, L"1:00:00.000", L"0 01:00:00.000"},
    {863999995000ull, L"24:00:00.000", L"1 00:00:00.000"},
    {864000010000ull, L"24:00:00.001", L"1 00:00:00.001"},
    {864000000000ull * 1000 + 36000000000ull * 5, L"24005:00:00.000", L"1000 05:00:00.000"},
    {UINT64_MAX, L"512409557:36:10.955", L"21350398 05:36:10.955"},
};

TEST(FormatTicks, WorkedValuesInBothForms) {
    for (const FormatCase& c : kFormatCases) {
        EXPECT_EQ(c.hours, Format(c.ticks, 0)) << c.ticks;
        EXPECT_EQ(c.days, Format(c.ticks, 1)) << c.ticks;
        EXPECT_EQ(c.days, Format(c.ticks, -7)) << "any non-zero daysForm";
    }
}

TEST(FormatTicks, LongestTextsFitTheNamedBuffer) {
    EXPECT_EQ(19u, Format(UINT64_MAX, 0).size());
    EXPECT_EQ(21u, Format(UINT64_MAX, 1).size());
    wchar_t exact[CLOCK_TEXT_CHARS];
    EXPECT_EQ(0, FormatTicks(UINT64_MAX, exact, 1));
    EXPECT_STREQ(L"21350398 05:36:10.955", exact);
}

TEST(FormatTicks, NullBufferFails) {
    EXPECT_EQ(-1, FormatTicks(0, nullptr, 0));
    EXPECT_EQ(-1, FormatTicks(UINT64_MAX, nullptr, 1));
}

// The same clock text computed another way: halves up as (ticks / 5000 + 1) / 2,
// fields split from the millisecond count, written by swprintf.
std::wstring Reference(uint64_t ticks, bool daysForm) {
    uint64_t ms = (ticks / 5000 + 1) / 2;
    unsigned milli = static_cast<unsigned>(ms % 1000);
    uint64_t totalSeconds = ms / 1000;
    unsigned second = static_cast<unsigned>(totalSeconds % 60);
    unsigned minute = static_cast<unsigned>(totalSeconds / 60 % 60);
    uint64_t hours = totalSeconds / 3600;
    wchar_t text[64];
    if (daysForm)
        std::swprintf(text, 64, L"%llu %02u:%02u:%02u.%03u", static_cast<unsigned long long>(hours / 24),
                      static_cast<unsigned>(hours % 24), minute, second, milli);
    else
        std::swprintf(text, 64, L"%llu:%02u:%02u.%03u", static_cast<unsigned long long>(hours), minute,
                      second, milli);
    return text;
}

TEST(FormatTicks, MatchesIndependentFormulationOnRandomValues) {
    std::mt19937_64 random(20240517);
    for (int i = 0; i < 20000; ++i) {
        uint64_t ticks = random();
        // Spread over all magnitudes, not only huge numbers.
        ticks >>= random() % 64;
        ASSERT_EQ(Reference(ticks, false), Format(ticks, 0)) << ticks;
        ASSERT_EQ(Reference(ticks, true), Format(ticks, 1)) << ticks;
    }
}

TEST(WriteUnsigned64, WritesUnpaddedDecimal) {
    std::mt19937_64 random(7);
    const uint64_t fixed[] = {0, 9, 10, 4294967295ull, 4294967296ull, UINT64_MAX};
    auto check = [](uint64_t value) {
        wchar_t buffer[UINT64_DECIMAL_CHARS + 8];
        std::wmemset(buffer, kFill, UINT64_DECIMAL_CHARS + 8);
        wchar_t expected[32];
        std::swprintf(expected, 32, L"%llu", static_cast<unsigned long long>(value));
        EXPECT_EQ(std::wcslen(expected), WriteUnsigned64(value, buffer));
        EXPECT_STREQ(expected, buffer);
        EXPECT_EQ(kFill, buffer[std::wcslen(expected) + 1]);
    };
    for (uint64_t value : fixed)
        check(value);
    for (int i = 0; i < 2000; ++i)
        check(random() >> (random() % 64));
    EXPECT_EQ(0u, WriteUnsigned64(1, nullptr));
}

}  // namespace
