// The wide-text helpers every part uses: bounded copies and appends that
// never write past their buffer, and the a-to-z-only case mapping.
#include "text/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kFill = L'#';

// Copies into a buffer of `chars` inside a larger one prefilled with kFill;
// returns the whole larger buffer, so that a write past `chars` shows.
std::wstring CopyInto(size_t chars, const wchar_t* source) {
    std::wstring buffer(chars + 4, kFill);
    CopyText(buffer.data(), chars, source);
    return buffer;
}

TEST(CopyText, StaysInsideItsBuffer) {
    EXPECT_EQ(std::wstring(L"abc\0####", 8), CopyInto(4, L"abc"));
    EXPECT_EQ(std::wstring(L"abc\0####", 8), CopyInto(4, L"abcdef")) << "cut to chars - 1 and terminated";
    EXPECT_EQ(std::wstring(L"\0####", 5), CopyInto(1, L"x")) << "room for the terminator only";
    EXPECT_EQ(std::wstring(L"\0######", 7), CopyInto(3, nullptr)) << "a null source is the empty text";
    EXPECT_EQ(std::wstring(4, kFill), CopyInto(0, L"x")) << "no room: nothing written";
    CopyText(nullptr, 8, L"x");    // a null target is refused, not written
}

TEST(AppendText, FillsTheRestOfTheBufferOnly) {
    std::wstring buffer(10, kFill);
    CopyText(buffer.data(), 6, L"ab");
    AppendText(buffer.data(), 6, L"cdefgh");
    EXPECT_EQ(std::wstring(L"abcde\0####", 10), buffer);
}

TEST(UpperCaseAscii, LettersAToZOnly) {
    std::wstring text = L"az AZ 09 \u00e4\u00df\u0131 _@[`{";
    UpperCaseAscii(text.data());
    EXPECT_EQ(L"AZ AZ 09 \u00e4\u00df\u0131 _@[`{", text);
    UpperCaseAscii(nullptr);
    EXPECT_EQ(L'Q', UpperAscii(L'q'));
    EXPECT_EQ(L'\u00e4', UpperAscii(L'\u00e4'));
}

}  // namespace
