// Number text: tables of accepted and rejected numbers for both parsers,
// and random values printed in both bases read back.
#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <random>
#include <string>

namespace {

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
        EXPECT_EQ(0, ParseNumber64(c.text, &value64)) << c.text;
        EXPECT_EQ(c.value, value64) << c.text;
        EXPECT_EQ(0, ParseNumber32(c.text, &value32)) << c.text;
        EXPECT_EQ(c.value, value32) << c.text;
    }
    for (const Accepted& c : kAccepted64Only) {
        uint64_t value64 = kSentinel64;
        EXPECT_EQ(0, ParseNumber64(c.text, &value64)) << c.text;
        EXPECT_EQ(c.value, value64) << c.text;
    }
}

TEST(ParseNumber, RejectedTextsLeaveTheValueAlone) {
    for (const wchar_t* text : kRejectedBoth) {
        uint64_t value64 = kSentinel64;
        uint32_t value32 = kSentinel32;
        EXPECT_EQ(-1, ParseNumber64(text, &value64)) << text;
        EXPECT_EQ(kSentinel64, value64) << text;
        EXPECT_EQ(-1, ParseNumber32(text, &value32)) << text;
        EXPECT_EQ(kSentinel32, value32) << text;
    }
    for (const wchar_t* text : kRejected32Only) {
        uint32_t value32 = kSentinel32;
        EXPECT_EQ(-1, ParseNumber32(text, &value32)) << text;
        EXPECT_EQ(kSentinel32, value32) << text;
    }
}

TEST(ParseNumber, MissingPointersFail) {
    uint64_t value64 = kSentinel64;
    uint32_t value32 = kSentinel32;
    EXPECT_EQ(-1, ParseNumber64(nullptr, &value64));
    EXPECT_EQ(-1, ParseNumber64(L"1", nullptr));
    EXPECT_EQ(-1, ParseNumber32(nullptr, &value32));
    EXPECT_EQ(-1, ParseNumber32(L"1", nullptr));
    EXPECT_EQ(kSentinel64, value64);
    EXPECT_EQ(kSentinel32, value32);
}

TEST(ParseNumber, RoundTripsRandomValuesInBothBases) {
    std::mt19937_64 random(99);
    for (int i = 0; i < 5000; ++i) {
        uint64_t expected = random() >> (random() % 64);
        wchar_t decimal[32], hex[32];
        std::swprintf(decimal, 32, L"%llu", static_cast<unsigned long long>(expected));
        std::swprintf(hex, 32, i % 2 ? L"0x%llX" : L"0X%llx", static_cast<unsigned long long>(expected));
        uint64_t value = kSentinel64;
        ASSERT_EQ(0, ParseNumber64(decimal, &value)) << decimal;
        ASSERT_EQ(expected, value);
        value = kSentinel64;
        ASSERT_EQ(0, ParseNumber64(hex, &value)) << hex;
        ASSERT_EQ(expected, value);
        uint32_t value32 = kSentinel32;
        int expected32 = expected <= UINT32_MAX ? 0 : -1;
        ASSERT_EQ(expected32, ParseNumber32(decimal, &value32)) << decimal;
        ASSERT_EQ(expected32 == 0 ? static_cast<uint32_t>(expected) : kSentinel32, value32);
    }
}

}  // namespace
