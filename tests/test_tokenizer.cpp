// The tokenizer's overflow as the shell shows it: the lapwatch command
// writes the message, then goes on with no arguments and reports the
// settings. The splitting rules and bounds are tested in
// text/test_tokenizer_tables.cpp.
#include <gtest/gtest.h>

#include "text/tokenizer.h"
#include "support/expected_version.h"
#include "support/plugin_session.h"

#include <string>

namespace {

void ExpectOverflowMessage(const std::wstring& arguments, int slot) {
    PluginSession s;
    CapturedOutput output;
    EXPECT_EQ(0, s.Lapwatch(arguments.c_str()));
    EXPECT_EQ(L"Lapwatch plugin: Buffer overflow: b = " + std::to_wstring(slot) + L", MAX_ARG_LEN = 8192 \r\n",
              output.Err());
    EXPECT_EQ(0u, output.Out().find(L"\r\nLapwatch v" EXPECTED_VERSION_SHORT L" settings:\r\n"))
        << "then the report, unchanged";
    EXPECT_NE(std::wstring::npos, output.Out().find(L"/T : 10 seconds or more\r\n"));
}

TEST(TokenizerMessage, OverflowAtTheLastSlot) {
    ExpectOverflowMessage(std::wstring(SHELL_TEXT_BUFFER_CHARS, L'x'), 8191);
}

TEST(TokenizerMessage, OverflowAfterAnArgumentEndsAtTheLastSlot) {
    ExpectOverflowMessage(L"/T:3" + std::wstring(SHELL_TEXT_BUFFER_CHARS - 5, L'x') + L" /b", 8192);
}

}  // namespace
