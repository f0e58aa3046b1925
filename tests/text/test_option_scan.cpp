// The lapwatch command's option scan on tokenized argument lines: what each
// option asks for, where the scan stops and what its message would quote.
// Shared by the Wine and the native sanitizer builds.
#include "text/color_pair.h"
#include "text/wide_text.h"
#include "text/option_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Stand-in colour reader: knows three descriptions, as typed; for anything
// else it sets nothing and fails. Remembers the text it was given.
std::wstring g_colorText;
int g_colorCalls;

int FakeReadColors(wchar_t* text, int* foreground, int* background) {
    g_colorText = text;
    g_colorCalls++;
    const struct {
        const wchar_t* text;
        int foreground, background;
    } known[] = {
        {L"bright yellow on black", 14, 0},
        {L"magenta on bright cyan", 5, 11},
        {L"white on white", 7, 7},
        {L"blue on huge", 1, 16},
        {L"bright white on black", 15, 0},
        // Answers outside 0 to 15, which must not carry into the other nibble.
        {L"sixteen on black", 16, 0},
        {L"thirty-one on blue", 31, 1},
        {L"black on minus one", 0, -1},
    };
    for (const auto& k : known) {
        if (std::wstring(text) == k.text) {
            *foreground = k.foreground;
            *background = k.background;
            return 0;
        }
    }
    if (std::wstring(text) == L"blue") {
        *foreground = 1;    // a foreground alone
        return 0;
    }
    return 1;
}

struct ScanResult {
    ScanOutcome outcome;
    PendingValues pending;
    const wchar_t* shown;
};

// Tokenizes text and scans it, with pending and shown filled with garbage
// first so that a field the scan forgets to clear shows.
ScanResult Scan(const wchar_t* text, ColorReader reader = FakeReadColors) {
    EXPECT_GE(TokenizeArguments(text), 0);
    ScanResult r;
    std::memset(static_cast<void*>(&r.pending), 0xA5, sizeof r.pending);
    static const wchar_t kGarbage[] = L"garbage";
    r.shown = kGarbage;
    g_colorText = L"<not called>";
    g_colorCalls = 0;
    r.outcome = ScanArguments(&g_args, reader, &r.pending, &r.shown);
    return r;
}

bool InArgumentBuffer(const wchar_t* p) {
    return p >= g_args.buffer && p < g_args.buffer + SHELL_TEXT_BUFFER_CHARS;
}

// The pending values expected of a clean scan; the free-text argument is
// compared as text.
struct Expected {
    int hasShowTimer = 0;
    uint32_t showTimer = 0;
    int hasColors = 0;
    uint32_t colors = 0;
    int hasSlowSeconds = 0;
    uint32_t slowSeconds = 0;
    const wchar_t* slowCommand = nullptr;
    int restoreDefaults = 0;
    int restoreRegistry = 0;
    int resetTotal = 0;
    SettingsScope saveScope = SCOPE_NONE;
    int hasCommandCount = 0;
    uint64_t commandCount = 0;
};

void ExpectPending(const PendingValues& p, const Expected& e) {
    EXPECT_EQ(e.hasShowTimer, p.hasShowTimer);
    EXPECT_EQ(e.showTimer, p.showTimer);
    EXPECT_EQ(e.hasColors, p.hasColors);
    EXPECT_EQ(e.colors, p.colors);
    EXPECT_EQ(e.hasSlowSeconds, p.hasSlowSeconds);
    EXPECT_EQ(e.slowSeconds, p.slowSeconds);
    if (e.slowCommand == nullptr) {
        EXPECT_EQ(nullptr, p.slowCommand);
    } else {
        ASSERT_NE(nullptr, p.slowCommand);
        EXPECT_EQ(e.slowCommand, std::wstring(p.slowCommand));
        EXPECT_TRUE(InArgumentBuffer(p.slowCommand)) << "the free text stays in the argument table";
    }
    EXPECT_EQ(e.restoreDefaults, p.restoreDefaults);
    EXPECT_EQ(e.restoreRegistry, p.restoreRegistry);
    EXPECT_EQ(e.resetTotal, p.resetTotal);
    EXPECT_EQ(e.saveScope, p.saveScope);
    EXPECT_EQ(e.hasCommandCount, p.hasCommandCount);
    EXPECT_EQ(e.commandCount, p.commandCount);
}

Expected Mode(uint32_t mode) { Expected e; e.hasShowTimer = 1; e.showTimer = mode; return e; }
Expected Colors(uint32_t colors) { Expected e; e.hasColors = 1; e.colors = colors; return e; }
Expected Slow(uint32_t seconds) { Expected e; e.hasSlowSeconds = 1; e.slowSeconds = seconds; return e; }
Expected Count(uint64_t count) { Expected e; e.hasCommandCount = 1; e.commandCount = count; return e; }
Expected FreeText(const wchar_t* text) { Expected e; e.slowCommand = text; return e; }
Expected Scope(SettingsScope scope) { Expected e; e.saveScope = scope; return e; }

TEST(OptionScan, EachOption) {
    Expected defaults, registry, reset, all;
    defaults.restoreDefaults = 1;
    registry.restoreRegistry = 1;
    reset.resetTotal = 1;
    all.hasShowTimer = 1;
    all.showTimer = 2;
    all.hasColors = 1;
    all.colors = 0x4E;
    all.hasSlowSeconds = 1;
    all.slowSeconds = 7;
    all.slowCommand = L"echo slow /Z";
    all.restoreDefaults = 1;
    all.restoreRegistry = 1;
    all.resetTotal = 1;
    all.saveScope = SCOPE_CURRENT_USER;
    all.hasCommandCount = 1;
    all.commandCount = 3;
    const struct {
        const wchar_t* text;
        Expected expected;
    } cases[] = {
        {L"", Expected()},
        {L"   ", Expected()},
        {L"/B:t", Mode(2)}, {L"/BT", Mode(2)}, {L"/B=Text", Mode(2)}, {L"/b:tiny", Mode(2)},
        {L"/B:Both", Mode(3)}, {L"/B:Bx", Mode(3)}, {L"/B:d", Mode(5)}, {L"/B:off", Mode(0)},
        {L"/B:s", Mode(1)}, {L"/B:O /B:d", Mode(5)},
        {L"/C:0x1F", Colors(0x1F)}, {L"/C:31", Colors(0x1F)}, {L"/C=0x4E", Colors(0x4E)},
        {L"/c240", Colors(0xF0)}, {L"/C:0x0x10", Colors(0x10)},
        {L"/C:\"bright yellow on black\"", Colors(0x0E)},
        {L"\"/C:magenta on bright cyan\"", Colors(0xB5)},
        {L"/C:\"bright white on black\"", Colors(0x0F)},
        {L"/D", defaults}, {L"/d", defaults},
        {L"/K", Count(0)}, {L"/K:0x10", Count(16)}, {L"/k=18446744073709551615", Count(UINT64_MAX)},
        {L"/K16", Count(16)}, {L"/K:5 /K", Count(0)},
        {L"/R", registry}, {L"/r", registry},
        {L"/S", Scope(SCOPE_CURRENT_USER)}, {L"/s!", Scope(SCOPE_LOCAL_MACHINE)},
        {L"/S /S!", Scope(SCOPE_LOCAL_MACHINE)}, {L"/S! /s", Scope(SCOPE_CURRENT_USER)},
        {L"/T:1", Slow(1)}, {L"/t=0x10", Slow(16)}, {L"/T:4294967295", Slow(4294967295u)},
        {L"/T:0", Slow(0)}, {L"/T:off", Slow(0)}, {L"/TOFF", Slow(0)}, {L"/T=oFf", Slow(0)},
        {L"/Z", reset}, {L"/z", reset},
        {L"echo Slow!", FreeText(L"echo Slow!")},
        {L"echo Slow /T:5", FreeText(L"echo Slow /T:5")},
        {L"-", FreeText(L"-")},
        {L"/T:5 echo \"done\" now  ", [] { Expected e = Slow(5); e.slowCommand = L"echo \"done\" now"; return e; }()},
        {L"/B:T /C:0x4E /T:7 /D /R /Z /S /K:3 echo slow /Z", all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        ScanResult r = Scan(c.text);
        EXPECT_EQ(SCAN_DONE, r.outcome);
        EXPECT_EQ(nullptr, r.shown);
        ExpectPending(r.pending, c.expected);
    }
}

TEST(OptionScan, ErrorsQuoteTheirText) {
    const struct {
        const wchar_t* text;
        ScanOutcome outcome;
        const wchar_t* shown;
    } cases[] = {
        {L"/B", SCAN_BAD_SUBOPTION, L"/B"},
        {L"/B:", SCAN_BAD_SUBOPTION, L"/B:"},
        {L"/b:x", SCAN_BAD_SUBOPTION, L"/B:X"},
        {L"/b=", SCAN_BAD_SUBOPTION, L"/B="},
        {L"/B:\u00e9t\u00e9", SCAN_BAD_SUBOPTION, L"/B:\u00e9T\u00e9"},
        {L"/C:0x11", SCAN_BAD_COLORS, L"0X11"},
        {L"/C:256", SCAN_BAD_COLORS, L"256"},
        {L"/C:0", SCAN_BAD_COLORS, L"0"},
        {L"/c:1f", SCAN_BAD_NUMBER, L"1F"},
        {L"/C:4294967296", SCAN_BAD_NUMBER, L"4294967296"},
        {L"/C:nonsense", SCAN_BAD_COLORS, L"NONSENSE"},
        {L"/C:\"white on white\"", SCAN_BAD_COLORS, L"WHITE ON WHITE"},
        {L"/C:\"blue on huge\"", SCAN_BAD_COLORS, L"BLUE ON HUGE"},
        {L"/C:\"sixteen on black\"", SCAN_BAD_COLORS, L"SIXTEEN ON BLACK"},
        {L"/C:\"thirty-one on blue\"", SCAN_BAD_COLORS, L"THIRTY-ONE ON BLUE"},
        {L"/C:\"black on minus one\"", SCAN_BAD_COLORS, L"BLACK ON MINUS ONE"},
        {L"/C:blue", SCAN_BAD_COLORS, L"BLUE"},
        {L"/C:", SCAN_BAD_COLORS, L""},
        {L"/C", SCAN_BAD_COLORS, L""},
        {L"/T", SCAN_BAD_NUMBER, L""},
        {L"/T:", SCAN_BAD_NUMBER, L""},
        {L"/T:x5", SCAN_BAD_NUMBER, L"X5"},
        {L"/T:-1", SCAN_BAD_NUMBER, L"-1"},
        {L"/T:offx", SCAN_BAD_NUMBER, L"OFFX"},
        {L"/T:4294967296", SCAN_BAD_NUMBER, L"4294967296"},
        {L"/K:x", SCAN_BAD_NUMBER, L"X"},
        {L"/K:", SCAN_BAD_NUMBER, L""},
        {L"/K:18446744073709551616", SCAN_BAD_NUMBER, L"18446744073709551616"},
        {L"/q", SCAN_UNKNOWN_OPTION, L"/q"},
        {L"/Default", SCAN_UNKNOWN_OPTION, L"/Default"},
        {L"/Zero", SCAN_UNKNOWN_OPTION, L"/Zero"},
        {L"/rx", SCAN_UNKNOWN_OPTION, L"/rx"},
        {L"/S!!", SCAN_UNKNOWN_OPTION, L"/S!!"},
        {L"/?x", SCAN_UNKNOWN_OPTION, L"/?x"},
        {L"/???", SCAN_UNKNOWN_OPTION, L"/???"},
        {L"/", SCAN_UNKNOWN_OPTION, L"/"},
        {L"//", SCAN_UNKNOWN_OPTION, L"//"},
        {L"/%s%s", SCAN_UNKNOWN_OPTION, L"/%s%s"},
        // The first failing argument ends the scan.
        {L"/B:T /C:0x11 /q echo hi", SCAN_BAD_COLORS, L"0X11"},
        {L"/D /R /q", SCAN_UNKNOWN_OPTION, L"/q"},
        {L"/T:5 /B:T /Z /S /x", SCAN_UNKNOWN_OPTION, L"/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        ScanResult r = Scan(c.text);
        EXPECT_EQ(c.outcome, r.outcome);
        ASSERT_NE(nullptr, r.shown);
        EXPECT_EQ(c.shown, std::wstring(r.shown));
        EXPECT_TRUE(InArgumentBuffer(r.shown));
        EXPECT_EQ(0, r.pending.hasCommandCount);
    }
}

TEST(OptionScan, OnlyTheFailingArgumentIsUpperCased) {
    ScanResult r = Scan(L"/b:t /c:0x11 /b:x echo");
    EXPECT_EQ(SCAN_BAD_COLORS, r.outcome);
    ASSERT_EQ(4, g_args.count);
    EXPECT_EQ(L"/b:t", std::wstring(g_args.entries[0].start));
    EXPECT_EQ(L"/C:0X11", std::wstring(g_args.entries[1].start));
    EXPECT_EQ(L"/b:x", std::wstring(g_args.entries[2].start)) << "not looked at";
    EXPECT_EQ(g_args.entries[1].start + 3, r.shown);

    r = Scan(L"/x:abc");
    EXPECT_EQ(SCAN_UNKNOWN_OPTION, r.outcome);
    EXPECT_EQ(g_args.entries[0].start, r.shown);
    EXPECT_EQ(L"/x:abc", std::wstring(g_args.entries[0].start)) << "quoted as typed";
}

TEST(OptionScan, ACommandCountBeforeAnErrorOrHelpStands) {
    const struct {
        const wchar_t* text;
        ScanOutcome outcome;
        uint64_t count;
    } cases[] = {
        {L"/K /Q", SCAN_UNKNOWN_OPTION, 0},
        {L"/K:7 /B:x", SCAN_BAD_SUBOPTION, 7},
        {L"/K:7 /K:x", SCAN_BAD_NUMBER, 7},
        {L"/K:0x10 /?", SCAN_HELP, 16},
        {L"/k /??", SCAN_HELP_VERSION, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        ScanResult r = Scan(c.text);
        EXPECT_EQ(c.outcome, r.outcome);
        EXPECT_EQ(1, r.pending.hasCommandCount);
        EXPECT_EQ(c.count, r.pending.commandCount);
    }
    ScanResult r = Scan(L"/Q /K:5");
    EXPECT_EQ(SCAN_UNKNOWN_OPTION, r.outcome);
    EXPECT_EQ(0, r.pending.hasCommandCount) << "a /K after the error is never reached";
}

TEST(OptionScan, HelpStopsTheScan) {
    const struct {
        const wchar_t* text;
        ScanOutcome outcome;
    } cases[] = {
        {L"/?", SCAN_HELP},
        {L"/B:T /?", SCAN_HELP},
        {L"/? /q", SCAN_HELP},
        {L"/T:5 /?? /q", SCAN_HELP_VERSION},
        {L"/??", SCAN_HELP_VERSION},
        {L"/?/Z", SCAN_HELP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        ScanResult r = Scan(c.text);
        EXPECT_EQ(c.outcome, r.outcome);
        EXPECT_EQ(nullptr, r.shown);
    }
}

TEST(OptionScan, ColourDescriptionsGoToTheReaderAsTyped) {
    ScanResult r = Scan(L"/C:\"Bright Yellow on Black\"");
    EXPECT_EQ(L"Bright Yellow on Black", g_colorText);
    EXPECT_EQ(SCAN_BAD_COLORS, r.outcome);
    EXPECT_EQ(L"BRIGHT YELLOW ON BLACK", std::wstring(r.shown));

    r = Scan(L"/C:31");
    EXPECT_EQ(0, g_colorCalls) << "a number is not a description";
    r = Scan(L"/C:x1F");
    EXPECT_EQ(L"x1F", g_colorText);
    EXPECT_EQ(SCAN_BAD_COLORS, r.outcome);

    // Without a reader no description reads.
    r = Scan(L"/C:\"bright yellow on black\"", nullptr);
    EXPECT_EQ(SCAN_BAD_COLORS, r.outcome);
    r = Scan(L"/C:0x4E", nullptr);
    EXPECT_EQ(SCAN_DONE, r.outcome);
    EXPECT_EQ(0x4Eu, r.pending.colors);
}

TEST(OptionScan, HandBuiltTables) {
    auto table = std::make_unique<ArgTable>();
    std::memset(static_cast<void*>(table.get()), 0, sizeof *table);
    const wchar_t text[] = L"/q\0/Z";
    std::copy(text, text + 6, table->buffer);
    table->entries[0] = {table->buffer, 0};      // passed over
    table->entries[1] = {table->buffer + 3, 2};
    table->count = 2;
    PendingValues pending;
    EXPECT_EQ(SCAN_DONE, ScanArguments(table.get(), FakeReadColors, &pending, nullptr));
    EXPECT_EQ(1, pending.resetTotal);

    // A count beyond the table reads no entry past it.
    table->count = MAX_ARGS + 100;
    EXPECT_EQ(SCAN_DONE, ScanArguments(table.get(), FakeReadColors, &pending, nullptr));
    EXPECT_EQ(1, pending.resetTotal);

    const wchar_t* shown = L"garbage";
    pending.resetTotal = 1;
    EXPECT_EQ(SCAN_DONE, ScanArguments(nullptr, FakeReadColors, &pending, &shown));
    EXPECT_EQ(nullptr, shown);
    EXPECT_EQ(0, pending.resetTotal);
}

TEST(ColorPair, NibblesMustDifferWithinAByte) {
    for (uint32_t colors : {0x1Fu, 0x0Eu, 0xF0u, 0x01u, 0xFEu})
        EXPECT_EQ(1, IsValidColorPair(colors)) << colors;
    for (uint32_t colors : {0x00u, 0x11u, 0xFFu, 0x100u, 0x10Fu, 0xFFFu, 0xFFFFFFFFu})
        EXPECT_EQ(0, IsValidColorPair(colors)) << colors;
}

TEST(OptionScan, ValueSeparators) {
    EXPECT_TRUE(IsValueSeparator(L':'));
    EXPECT_TRUE(IsValueSeparator(L'='));
    for (wchar_t c : {L'\0', L' ', L'/', L';', L'-', L'T', static_cast<wchar_t>(0xFF1A)})
        EXPECT_FALSE(IsValueSeparator(c)) << static_cast<int>(c);
}

TEST(IsEqualNoCase, LettersAToZOnly) {
    EXPECT_EQ(1, IsEqualNoCase(L"/s!", L"/S!"));
    EXPECT_EQ(1, IsEqualNoCase(L"oFF", L"Off"));
    EXPECT_EQ(1, IsEqualNoCase(L"", L""));
    EXPECT_EQ(0, IsEqualNoCase(L"/S", L"/S!"));
    EXPECT_EQ(0, IsEqualNoCase(L"/S!", L"/S"));
    EXPECT_EQ(0, IsEqualNoCase(L"\u00e9", L"\u00c9"));
    EXPECT_EQ(0, IsEqualNoCase(L"[", L"{"));
    EXPECT_EQ(1, IsEqualNoCaseN(L"/b:x", L"/B", 2));
    EXPECT_EQ(0, IsEqualNoCaseN(L"/", L"/B", 2));
    EXPECT_EQ(1, IsEqualNoCaseN(L"/", L"/", 2));
    EXPECT_EQ(0, IsEqualNoCaseN(L"/c", L"/B", 2));
}

}  // namespace
