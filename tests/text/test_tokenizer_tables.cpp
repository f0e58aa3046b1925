// The argument tokenizer of the lapwatch command: how a line splits into
// option arguments and the free-text argument, and its storage bounds.
// Shared by the Wine and the native sanitizer builds.
#include "text/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> result;
    for (int i = 0; i < g_args.count; i++) {
        const ArgEntry& entry = g_args.entries[i];
        result.emplace_back(entry.start, entry.start + entry.length);
        // Every argument ends in a NUL right after its length.
        EXPECT_EQ(L'\0', entry.start[entry.length]) << "argument " << i;
    }
    return result;
}

struct SplitCase {
    const wchar_t* text;
    std::vector<std::wstring> expected;
};

const SplitCase kSplitCases[] = {
    {L"", {}},
    {L"    \t  ", {}},
    {L"/B:T /C:0x1F", {L"/B:T", L"/C:0x1F"}},
    {L"/T:5/Z", {L"/T:5", L"/Z"}},
    {L"/a/b/c", {L"/a", L"/b", L"/c"}},
    {L"/ab//c", {L"/ab", L"//c"}},
    {L"//", {L"//"}},
    {L"/", {L"/"}},
    {L"/C:\"bright white on blue\"", {L"/C:bright white on blue"}},
    {L"\"/C:bright white on blue\"", {L"/C:bright white on blue"}},
    {L"/C:\"a/b\"/Z", {L"/C:a/b", L"/Z"}},
    {L"/X\" \"", {L"/X"}},
    {L"\"/T:5 echo\" hi", {L"/T:5 echo", L"hi"}},
    {L"echo Slow!", {L"echo Slow!"}},
    {L"/T:5 echo \"done\" now", {L"/T:5", L"echo \"done\" now"}},
    {L"echo hi /T:5", {L"echo hi /T:5"}},
    {L"   echo hi   ", {L"echo hi"}},
    {L"/K\r\n/Z\techo a\tb \r\n", {L"/K", L"/Z", L"echo a\tb"}},
    {L"/ echo", {L"/", L"echo"}},
    {L"/B=T,x /K", {L"/B=T,x", L"/K"}},
    {L"echo a/b//c", {L"echo a/b//c"}},
    // A free-text argument that opens with a double quote keeps it as typed.
    {L"/B:T \"echo hi\" now", {L"/B:T", L"\"echo hi\" now"}},
    {L"\"echo\"", {L"\"echo\""}},
    {L"\" echo\"", {L"\" echo\""}},
    {L"\"\" echo", {L"echo"}},
    // Characters outside the basic plane, one wchar_t or two.
    {L"/C:\U0001F600 echo \U0001F600!", {L"/C:\U0001F600", L"echo \U0001F600!"}},
};

TEST(Tokenizer, SplitsArgumentLines) {
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(testing::Message() << "text: " << std::wstring(c.text));
        int count = TokenizeArguments(c.text);
        EXPECT_EQ(static_cast<int>(c.expected.size()), count);
        EXPECT_EQ(count, g_args.count);
        EXPECT_EQ(c.expected, Arguments());
        for (int i = count; i < MAX_ARGS; i++) {
            ASSERT_EQ(nullptr, g_args.entries[i].start) << "unused entry " << i;
            ASSERT_EQ(0, g_args.entries[i].length) << "unused entry " << i;
        }
    }
}

TEST(Tokenizer, MissingTextKeepsTheTable) {
    ASSERT_EQ(2, TokenizeArguments(L"/B:T /Z"));
    EXPECT_EQ(-1, TokenizeArguments(nullptr));
    EXPECT_EQ(2, g_args.count);
    EXPECT_EQ((std::vector<std::wstring>{L"/B:T", L"/Z"}), Arguments());
}

TEST(Tokenizer, LongestArgumentFits) {
    std::wstring text(SHELL_TEXT_BUFFER_CHARS - 1, L'x');
    ASSERT_EQ(1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(SHELL_TEXT_BUFFER_CHARS - 1, g_args.entries[0].length);
    EXPECT_EQ(g_args.buffer, g_args.entries[0].start);
    EXPECT_EQ(L'\0', g_args.buffer[SHELL_TEXT_BUFFER_CHARS - 1]);
    EXPECT_EQ(-1, g_args.overflowSlot);
}

TEST(Tokenizer, OverflowAtTheLastSlot) {
    ASSERT_EQ(3, TokenizeArguments(L"/a /b /c"));
    std::wstring text(SHELL_TEXT_BUFFER_CHARS, L'x');
    EXPECT_EQ(-1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(0, g_args.count);
    EXPECT_EQ(SHELL_TEXT_BUFFER_CHARS - 1, g_args.overflowSlot);
}

TEST(Tokenizer, OverflowAfterAnArgumentEndsAtTheLastSlot) {
    // "/" and 8190 letters fill slots 0..8190 and the NUL takes 8191; the
    // blank then moves the slot counter past the buffer without writing.
    std::wstring text = L"/" + std::wstring(SHELL_TEXT_BUFFER_CHARS - 2, L'x') + L" /b";
    EXPECT_EQ(-1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(0, g_args.count);
    EXPECT_EQ(SHELL_TEXT_BUFFER_CHARS, g_args.overflowSlot);
    // The table lies right behind the buffer: a write past the buffer would
    // have changed the first entry's start.
    EXPECT_EQ(g_args.buffer, g_args.entries[0].start);
    EXPECT_EQ(SHELL_TEXT_BUFFER_CHARS - 1, g_args.entries[0].length);
    EXPECT_EQ(L'\0', g_args.buffer[SHELL_TEXT_BUFFER_CHARS - 1]);
}

TEST(Tokenizer, ManyArgumentsOverflowTheBuffer) {
    // Each "/xxxxxxxxx" takes eleven slots with its NUL: 744 of them fill
    // slots 0..8183, the 745th overflows on its eighth character.
    std::wstring text;
    for (int i = 0; i < 800; i++)
        text += L"/xxxxxxxxx ";
    EXPECT_EQ(-1, TokenizeArguments(text.c_str()));
    EXPECT_EQ(0, g_args.count);
    EXPECT_EQ(SHELL_TEXT_BUFFER_CHARS - 1, g_args.overflowSlot);
}

TEST(Tokenizer, ArgumentsBeyondTheTableAreDropped) {
    std::wstring text;
    for (int i = 0; i < 1100; i++)
        text += i == 1023 ? L"/last " : L"/x ";
    text += L"echo hi";
    EXPECT_EQ(MAX_ARGS, TokenizeArguments(text.c_str()));
    EXPECT_EQ(MAX_ARGS, g_args.count);
    std::vector<std::wstring> args = Arguments();
    ASSERT_EQ(static_cast<size_t>(MAX_ARGS), args.size());
    EXPECT_EQ(L"/x", args[0]);
    EXPECT_EQ(L"/last", args[MAX_ARGS - 1]);
    EXPECT_EQ(-1, g_args.overflowSlot);
}

}  // namespace
