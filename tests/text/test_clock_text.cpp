// Clock text and number text: worked values, an independent formulation
// over random tick counts, and tables of accepted and rejected numbers.
#include "variables/clock_text.h"

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
    EXPECT_EQ(FormatTicks(ticks, buffer, daysForm), 0);
    size_t length = std::wcslen(buffer);
    EXPECT_LT(length, static_cast<size_t>(CLOCK_TEXT_CHARS));
    for (size_t i = length + 1; i < 64; ++i)
        EXPECT_EQ(buffer[i], kFill) << "written past the terminator at " << i;
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
        EXPECT_EQ(Format(c.ticks, 0), c.hours) << c.ticks;
        EXPECT_EQ(Format(c.ticks, 1), c.days) << c.ticks;
        EXPECT_EQ(Format(c.ticks, -7), c.days) << "any non-zero daysForm";
    }
}

TEST(FormatTicks, LongestTextsFitTheNamedBuffer) {
    EXPECT_EQ(Format(UINT64_MAX, 0).size(), 19u);
    EXPECT_EQ(Format(UINT64_MAX, 1).size(), 21u);
    wchar_t exact[CLOCK_TEXT_CHARS];
    EXPECT_EQ(FormatTicks(UINT64_MAX, exact, 1), 0);
    EXPECT_STREQ(exact, L"21350398 05:36:10.955");
}

TEST(FormatTicks, NullBufferFails) {
    EXPECT_EQ(FormatTicks(0, nullptr, 0), -1);
    EXPECT_EQ(FormatTicks(UINT64_MAX, nullptr, 1), -1);
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
        ASSERT_EQ(Format(ticks, 0), Reference(ticks, false)) << ticks;
        ASSERT_EQ(Format(ticks, 1), Reference(ticks, true)) << ticks;
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
        EXPECT_EQ(WriteUnsigned64(value, buffer), std::wcslen(expected));
        EXPECT_STREQ(buffer, expected);
        EXPECT_EQ(buffer[std::wcslen(expected) + 1], kFill);
    };
    for (uint64_t value : fixed)
        check(value);
    for (int i = 0; i < 2000; ++i)
        check(random() >> (random() % 64));
    EXPECT_EQ(WriteUnsigned64(1, nullptr), 0u);
}

struct Accepted {
    const wchar_t* text;
    uint64_t value;
};

const uint64_t kSentinel64 = 0xDEADBEEFCAFEF00Dull;
const uint32_t kSentinel32 = 0xDEADBEEFu;

// Accepted by both parsers.
const Accepted kAcceptedBoth[] = {
    {L"0", 0}, {L"00", 0}, {L"000", 0}, {L"007", 7}, {L"010", 10}, {L"1", 1},
    {L"123456", 123456}, {L"0x1F", 31}, {L"0X1f", 31}, {L"0x001F", 31}, {L"0xabcdef", 0xABCDEF},
    {L"0x0", 0}, {L"0x0x1F", 31}, {L"0x0X1f", 31}, {L"0X0x10", 16},
    {L"4294967295", 4294967295ull}, {L"0xFFFFFFFF", 0xFFFFFFFFull},
    {L"00000000000000000000000004294967295", 4294967295ull}, {L"0x00000000000000000000FFFFFFFF", 0xFFFFFFFFull},
};

// Accepted by ParseNumber64 only: beyond 32 bits.
const Accepted kAccepted64Only[] = {
    {L"4294967296", 4294967296ull}, {L"0xFFFFFFFFF", 0xFFFFFFFFFull}, {L"0x100000000", 0x100000000ull},
    {L"18446744073709551615", UINT64_MAX}, {L"0xFFFFFFFFFFFFFFFF", UINT64_MAX},
    {L"0x0xffffffffffffffff", UINT64_MAX}, {L"000018446744073709551615", UINT64_MAX},
    {L"864000010000", 864000010000ull},
};

// Rejected by both parsers.
const wchar_t* const kRejectedBoth[] = {
    L"", L" ", L" 1", L"1 ", L"1 2", L"+1", L"-1", L"+0x1", L"-0", L"\t5", L"5\n",
    L"1.5", L"1e3", L"10s", L"abc", L"x1", L"0x", L"0X", L"0xG", L"0x 1", L"0x-5", L"0x+5",
    L"0x1G", L"0x1F ", L"0x0x", L"0x0xG", L"0x0x 1", L"0x00x1F", L"00x1F", L"0b101", L"1_000", L"12a",
    L"\xFF11",  // fullwidth digit one: only ASCII digits count
    L"18446744073709551616", L"0xFFFFFFFFFFFFFFFFF", L"0x10000000000000000",
    L"99999999999999999999", L"184467440737095516150",
};

// Rejected by ParseNumber32 only.
const wchar_t* const kRejected32Only[] = {
    L"4294967296", L"0xFFFFFFFFF", L"0x100000000", L"18446744073709551615", L"42949672950",
};

TEST(ParseNumber, AcceptedTexts) {
    for (const Accepted& c : kAcceptedBoth) {
        uint64_t value64 = kSentinel64;
        uint32_t value32 = kSentinel32;
        EXPECT_EQ(ParseNumber64(c.text, &value64), 0) << c.text;
        EXPECT_EQ(value64, c.value) << c.text;
        EXPECT_EQ(ParseNumber32(c.text, &value32), 0) << c.text;
        EXPECT_EQ(value32, c.value) << c.text;
    }
    for (const Accepted& c : kAccepted64Only) {
        uint64_t value64 = kSentinel64;
        EXPECT_EQ(ParseNumber64(c.text, &value64), 0) << c.text;
        EXPECT_EQ(value64, c.value) << c.text;
    }
}

TEST(ParseNumber, RejectedTextsLeaveTheValueAlone) {
    for (const wchar_t* text : kRejectedBoth) {
        uint64_t value64 = kSentinel64;
        uint32_t value32 = kSentinel32;
        EXPECT_EQ(ParseNumber64(text, &value64), -1) << text;
        EXPECT_EQ(value64, kSentinel64) << text;
        EXPECT_EQ(ParseNumber32(text, &value32), -1) << text;
        EXPECT_EQ(value32, kSentinel32) << text;
    }
    for (const wchar_t* text : kRejected32Only) {
        uint32_t value32 = kSentinel32;
        EXPECT_EQ(ParseNumber32(text, &value32), -1) << text;
        EXPECT_EQ(value32, kSentinel32) << text;
    }
}

TEST(ParseNumber, MissingPointersFail) {
    uint64_t value64 = kSentinel64;
    uint32_t value32 = kSentinel32;
    EXPECT_EQ(ParseNumber64(nullptr, &value64), -1);
    EXPECT_EQ(ParseNumber64(L"1", nullptr), -1);
    EXPECT_EQ(ParseNumber32(nullptr, &value32), -1);
    EXPECT_EQ(ParseNumber32(L"1", nullptr), -1);
    EXPECT_EQ(value64, kSentinel64);
    EXPECT_EQ(value32, kSentinel32);
}

TEST(ParseNumber, RoundTripsRandomValuesInBothBases) {
    std::mt19937_64 random(99);
    for (int i = 0; i < 5000; ++i) {
        uint64_t expected = random() >> (random() % 64);
        wchar_t decimal[32], hex[32];
        std::swprintf(decimal, 32, L"%llu", static_cast<unsigned long long>(expected));
        std::swprintf(hex, 32, i % 2 ? L"0x%llX" : L"0X%llx", static_cast<unsigned long long>(expected));
        uint64_t value = kSentinel64;
        ASSERT_EQ(ParseNumber64(decimal, &value), 0) << decimal;
        ASSERT_EQ(value, expected);
        value = kSentinel64;
        ASSERT_EQ(ParseNumber64(hex, &value), 0) << hex;
        ASSERT_EQ(value, expected);
        uint32_t value32 = kSentinel32;
        int expected32 = expected <= UINT32_MAX ? 0 : -1;
        ASSERT_EQ(ParseNumber32(decimal, &value32), expected32) << decimal;
        ASSERT_EQ(value32, expected32 == 0 ? static_cast<uint32_t>(expected) : kSentinel32);
    }
}

}  // namespace
