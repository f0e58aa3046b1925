// The tokenizer's overflow message as the shell shows it. The splitting
// rules and bounds are tested in text/test_tokenizer_tables.cpp.
#include <gtest/gtest.h>

#include "text/tokenizer.h"
#include "support/harness.h"

#include <string>

namespace {

TEST(TokenizerMessage, OverflowAtTheLastSlot) {
    CapturedOutput output;
    std::wstring text(TEXT_BUFFER_CHARS, L'x');
    EXPECT_EQ(-1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(L"Lapwatch plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n", output.Err());
    EXPECT_EQ(L"", output.Out());
}

TEST(TokenizerMessage, OverflowAfterAnArgumentEndsAtTheLastSlot) {
    CapturedOutput output;
    std::wstring text = L"/" + std::wstring(TEXT_BUFFER_CHARS - 2, L'x') + L" /b";
    EXPECT_EQ(-1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(L"Lapwatch plugin: Buffer overflow: b = 8192, MAX_ARG_LEN = 8192 \r\n", output.Err());
    EXPECT_EQ(L"", output.Out());
}

}  // namespace
