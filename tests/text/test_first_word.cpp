// The first word of a command line, as _lastcmd reports it. Shared by the
// Wine and the native sanitizer builds.
#include "text/first_word.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Runs ExtractFirstWord into a heap buffer of exactly the documented size
// (so that the native build's address checks catch a write past it) and
// checks that the returned length matches the text written.
std::wstring FirstWord(const std::wstring& line) {
    std::vector<wchar_t> word(SHELL_TEXT_MAX_CHARS + 1, L'#');
    size_t length = ExtractFirstWord(line.c_str(), word.data());
    EXPECT_LE(length, static_cast<size_t>(SHELL_TEXT_MAX_CHARS));
    EXPECT_EQ(L'\0', word[length]);
    std::wstring result(word.data(), length);
    EXPECT_EQ(std::wstring::npos, result.find(L'\0'));
    return result;
}

struct WordCase {
    std::wstring line;
    std::wstring word;
};

TEST(FirstWord, OfCommandLines) {
    const WordCase cases[] = {
        {L"dir /s", L"dir"},
        {L"dir", L"dir"},
        {L"   @echo off", L"echo"},
        {L"@@x y", L"@x"},
        {L"@ dir", L""},
        {L"@", L""},
        {L"  @  x", L""},
        {L"x@y z", L"x@y"},
        {L"\"C:\\Program Files\\tool.exe\" /v", L"\"C:\\Program Files\\tool.exe\""},
        {L"@\"C:\\My Tools\\run\" now", L"\"C:\\My Tools\\run\""},
        {L"\"@x\" y", L"\"@x\""},
        {L"a\"b c\"d e", L"a\"b c\"d"},
        {L"\"never closed and more", L"\"never closed and more"},
        {L"\"\" x", L"\"\""},
        {L"\tcopy\ta b", L"copy"},
        {L"\r\n\v\fver\r\n", L"ver"},
        {L"", L""},
        {L" \t \r\n", L""},
        // Characters outside the basic plane: one wchar_t or a pair.
        {L"\U0001F600run now", L"\U0001F600run"},
        {L"caf\u00e9 x", L"caf\u00e9"},
    };
    for (const WordCase& c : cases)
        EXPECT_EQ(c.word, FirstWord(c.line)) << testing::PrintToString(c.line);
}

TEST(FirstWord, LongWordsKeepTheirFirstCharacters) {
    const size_t cap = SHELL_TEXT_MAX_CHARS;
    const WordCase cases[] = {
        {std::wstring(9000, L'w') + L" tail", std::wstring(cap, L'w')},
        {std::wstring(cap, L'a'), std::wstring(cap, L'a')},
        {std::wstring(cap + 1, L'b') + L" c", std::wstring(cap, L'b')},
        {L"@" + std::wstring(cap, L'd'), std::wstring(cap, L'd')},
        {L"  " + std::wstring(cap - 1, L'e') + L"fg", std::wstring(cap - 1, L'e') + L"f"},
        // A quoted blank past the cap still belongs to the word.
        {L"\"" + std::wstring(cap + 10, L'q') + L" q\" next", L"\"" + std::wstring(cap - 1, L'q')},
        {std::wstring(20000, L'z'), std::wstring(cap, L'z')},
    };
    for (const WordCase& c : cases) {
        std::wstring word = FirstWord(c.line);
        EXPECT_EQ(c.word.size(), word.size());
        EXPECT_TRUE(word == c.word) << testing::PrintToString(c.line.substr(0, 40));
    }
}

}  // namespace
