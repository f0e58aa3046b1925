// The lapwatch command: its report, its options, its messages and result
// codes, and its round trip through the registry.
#include <gtest/gtest.h>

#include "command/help_text.h"
#include "plugin/exports.h"
#include "settings/settings.h"
#include "support/architecture.h"
#include "support/expected_version.h"
#include "support/harness.h"
#include "support/system_fakes.h"
#include "timing/timing_state.h"

#include <string>


namespace {

const std::wstring kKeyText = L"Software\\RUDeviruv\\Lapwatch";
const std::wstring kPrefix = L"Lapwatch plugin: ";

struct ReportLines {
    std::wstring mode = L"Default (status bar or text)";
    std::wstring colors = L"Bright white on blue";
    std::wstring slow = L"10 seconds or more";
    std::wstring command = L"Not defined";
};

std::wstring Report(const ReportLines& r) {
    return L"\r\nLapwatch v" EXPECTED_VERSION_SHORT L" settings:\r\n\r\n"
           L"   Show timer . . . . . . . . /B : " + r.mode + L"\r\n"
           L"   Timer text colors  . . . . /C : " + r.colors + L"\r\n"
           L"   Slow commands take . . . . /T : " + r.slow + L"\r\n"
           L"   Slow-Command . . . . . . . " + r.command + L"\r\n";
}

// The lines after the report of a save, and before it after a restore.
std::wstring SavedTo(const wchar_t* root) {
    return L"\r\nSettings saved to the registry (" + std::wstring(root) + L"\\" + kKeyText + L").\r\n";
}
std::wstring RestoredFrom(const wchar_t* root) {
    return L"Settings restored from the registry (" + std::wstring(root) + L"\\" + kKeyText + L").\r\n";
}

ReportLines WithMode(const wchar_t* mode) { ReportLines r; r.mode = mode; return r; }
ReportLines WithColors(const wchar_t* colors) { ReportLines r; r.colors = colors; return r; }
ReportLines WithSlow(const wchar_t* slow) { ReportLines r; r.slow = slow; return r; }
ReportLines WithCommand(const wchar_t* command) { ReportLines r; r.command = command; return r; }

class Command : public testing::Test {
protected:
    void SetUp() override {
        RestoreDefaultSettings();
        g_timing.commandCount = 7;
        g_timing.resetPending = 0;
        output.Clear();
    }
    void TearDown() override { RestoreDefaultSettings(); }

    int Run(const wchar_t* text) {
        std::wstring copy = text;
        return lapwatch(copy.data());
    }
    // With one of the registry calls refused, a save fails with 2 after the report.
    template <typename Refusal>
    void ExpectFailedSave(const wchar_t* text, const wchar_t* root) {
        Refusal refusal(TestProgramModule());
        ASSERT_TRUE(refusal.Applied());
        output.Clear();
        EXPECT_EQ(2, Run(text));
        EXPECT_EQ(Report(ReportLines()) + L"\r\n", output.Out());
        EXPECT_EQ(kPrefix + L"Error saving settings to the registry (" + root + L"\\" + kKeyText + L")\r\n",
                  output.Err());
    }
    void ExpectDefaultSettings() {
        EXPECT_EQ(5u, g_settings.showTimer);
        EXPECT_EQ(10u, g_settings.slowSeconds);
        EXPECT_EQ(0x1F, g_settings.timerColors);
        EXPECT_EQ(nullptr, g_settings.slowCommand);
    }

    CleanSettingsKey key;
    CapturedOutput output;
};

TEST_F(Command, MissingArgumentText) {
    EXPECT_EQ(-1, lapwatch(nullptr));
    EXPECT_EQ(L"", output.Out());
    EXPECT_EQ(L"", output.Err());
}

TEST_F(Command, ReportsDefaultSettings) {
    for (const wchar_t* text : {L"", L"   ", L" \t "}) {
        output.Clear();
        EXPECT_EQ(0, Run(text));
        EXPECT_EQ(Report(ReportLines()), output.Out());
        EXPECT_EQ(L"", output.Err());
    }
    ExpectDefaultSettings();
    EXPECT_EQ(7u, g_timing.commandCount);
    EXPECT_EQ(0, g_timing.resetPending);
}

TEST_F(Command, ChangesAndReportsSettings) {
    const struct {
        const wchar_t* text;
        ReportLines report;
        uint32_t mode, seconds, colors;
        const wchar_t* command;
    } cases[] = {
        {L"/B:t", WithMode(L"Text"), 2, 10, 0x1F, nullptr},
        {L"/BT", WithMode(L"Text"), 2, 10, 0x1F, nullptr},
        {L"/B=Text", WithMode(L"Text"), 2, 10, 0x1F, nullptr},
        {L"/b:tiny", WithMode(L"Text"), 2, 10, 0x1F, nullptr},
        {L"/B:Both", WithMode(L"Both status bar and text"), 3, 10, 0x1F, nullptr},
        {L"/B:Bx", WithMode(L"Both status bar and text"), 3, 10, 0x1F, nullptr},
        {L"/B:s", WithMode(L"Status bar"), 1, 10, 0x1F, nullptr},
        {L"/B:off", WithMode(L"Off"), 0, 10, 0x1F, nullptr},
        {L"/B:O /B:d", ReportLines(), 5, 10, 0x1F, nullptr},
        {L"/C:0x1F", ReportLines(), 5, 10, 0x1F, nullptr},
        {L"/C:31", ReportLines(), 5, 10, 0x1F, nullptr},
        {L"/C=0x4E", WithColors(L"Bright yellow on red"), 5, 10, 0x4E, nullptr},
        {L"/c240", WithColors(L"Black on bright white"), 5, 10, 0xF0, nullptr},
        {L"/C:\"bright yellow on black\"", WithColors(L"Bright yellow on black"), 5, 10, 0x0E, nullptr},
        {L"\"/C:magenta on bright cyan\"", WithColors(L"Magenta on bright cyan"), 5, 10, 0xB5, nullptr},
        {L"/T:1", WithSlow(L"1 second or more"), 5, 1, 0x1F, nullptr},
        {L"/T:2", WithSlow(L"2 seconds or more"), 5, 2, 0x1F, nullptr},
        {L"/t=0x10", WithSlow(L"16 seconds or more"), 5, 16, 0x1F, nullptr},
        {L"/T:4294967295", WithSlow(L"4294967295 seconds or more"), 5, 4294967295u, 0x1F, nullptr},
        {L"/T:0", WithSlow(L"0 seconds (disabled)"), 5, 0, 0x1F, nullptr},
        {L"/T:off", WithSlow(L"0 seconds (disabled)"), 5, 0, 0x1F, nullptr},
        {L"/TOFF", WithSlow(L"0 seconds (disabled)"), 5, 0, 0x1F, nullptr},
        {L"echo Slow!", WithCommand(L"echo Slow!"), 5, 10, 0x1F, L"echo Slow!"},
        {L"echo Slow /T:5", WithCommand(L"echo Slow /T:5"), 5, 10, 0x1F, L"echo Slow /T:5"},
        {L"echo 100%s done", WithCommand(L"echo 100%s done"), 5, 10, 0x1F, L"echo 100%s done"},
        {L"/T:5 echo \"done\" now  ", WithSlow(L"5 seconds or more"), 5, 5, 0x1F, L"echo \"done\" now"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        RestoreDefaultSettings();
        output.Clear();
        ReportLines expected = c.report;
        if (c.command)
            expected.command = c.command;
        EXPECT_EQ(0, Run(c.text));
        EXPECT_EQ(Report(expected), output.Out());
        EXPECT_EQ(L"", output.Err());
        EXPECT_EQ(c.mode, g_settings.showTimer);
        EXPECT_EQ(c.seconds, g_settings.slowSeconds);
        EXPECT_EQ(c.colors, g_settings.timerColors);
        if (c.command)
            EXPECT_STREQ(c.command, g_settings.slowCommand);
        else
            EXPECT_EQ(nullptr, g_settings.slowCommand);
    }
}

TEST_F(Command, ReportsModesFromTheRegistryRange) {
    const struct {
        uint32_t mode;
        const wchar_t* name;
    } cases[] = {{4, L"Default"}, {5, L"Default (status bar or text)"}, {6, L"Unknown"},
                 {7, L"Unknown"}, {0xFFFF, L"Unknown"}};
    for (const auto& c : cases) {
        g_settings.showTimer = c.mode;
        output.Clear();
        EXPECT_EQ(0, Run(L""));
        EXPECT_EQ(Report(WithMode(c.name)), output.Out()) << c.mode;
    }
}

TEST_F(Command, ReportsEveryColourName) {
    const wchar_t* names[] = {L"black", L"blue", L"green", L"cyan", L"red", L"magenta", L"yellow", L"white",
                              L"bright black", L"bright blue", L"bright green", L"bright cyan",
                              L"bright red", L"bright magenta", L"bright yellow", L"bright white"};
    for (uint16_t fg = 0; fg < 16; fg++) {
        uint16_t bg = static_cast<uint16_t>(15 - fg);
        g_settings.timerColors = static_cast<uint16_t>(bg << 4 | fg);
        std::wstring description = std::wstring(names[fg]) + L" on " + names[bg];
        description[0] = static_cast<wchar_t>(towupper(description[0]));
        output.Clear();
        EXPECT_EQ(0, Run(L""));
        EXPECT_EQ(Report(WithColors(description.c_str())), output.Out());
    }
}

TEST_F(Command, RejectsBadArgumentsWithTheirMessage) {
    const struct {
        const wchar_t* text;
        std::wstring message;
    } cases[] = {
        {L"/B", L"Bad suboption: \"/B\"\r\n"},
        {L"/B:", L"Bad suboption: \"/B:\"\r\n"},
        {L"/b:x", L"Bad suboption: \"/B:X\"\r\n"},
        {L"/B:\u00e9", L"Bad suboption: \"/B:\u00e9\"\r\n"},
        {L"/C:0x11", L"Bad colors: \"0X11\"\r\n"},
        {L"/C:256", L"Bad colors: \"256\"\r\n"},
        {L"/c:1f", L"Bad number: \"1F\"\r\n"},
        {L"/C:nonsense", L"Bad colors: \"NONSENSE\"\r\n"},
        {L"/C:\"white on white\"", L"Bad colors: \"WHITE ON WHITE\"\r\n"},
        {L"/C:", L"Bad colors: \"\"\r\n"},
        {L"/T", L"Bad number: \"\"\r\n"},
        {L"/T:x5", L"Bad number: \"X5\"\r\n"},
        {L"/T:4294967296", L"Bad number: \"4294967296\"\r\n"},
        {L"/K:x", L"Bad number: \"X\"\r\n"},
        {L"/q", L"Unknown option \"/q\"\r\n"},
        {L"/Default", L"Unknown option \"/Default\"\r\n"},
        {L"/Zero", L"Unknown option \"/Zero\"\r\n"},
        {L"/S!!", L"Unknown option \"/S!!\"\r\n"},
        {L"/?x", L"Unknown option \"/?x\"\r\n"},
        {L"/", L"Unknown option \"/\"\r\n"},
        {L"/%s%s", L"Unknown option \"/%s%s\"\r\n"},
        {L"/D /R", L"Can't combine /D and /R\r\n"},
        {L"/r /d", L"Can't combine /D and /R\r\n"},
        // The first failing argument is reported; nothing is applied.
        {L"/B:T /C:0x11 /q echo hi", L"Bad colors: \"0X11\"\r\n"},
        {L"/D /R /q", L"Unknown option \"/q\"\r\n"},
        {L"/T:5 /B:T /Z /S /x", L"Unknown option \"/x\"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::wstring(c.text));
        output.Clear();
        EXPECT_EQ(1, Run(c.text));
        EXPECT_EQ(kPrefix + c.message, output.Err());
        EXPECT_EQ(L"", output.Out());
        ExpectDefaultSettings();
        EXPECT_EQ(0, g_timing.resetPending);
    }
    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, L"ShowTimer", &type, &data));
}

// The shell's colour reader, put behind the import table, answering with
// these two colours.
int g_answeredForeground, g_answeredBackground;
int HOST_API AnsweringParseColors(wchar_t*, int* foreground, int* background) {
    *foreground = g_answeredForeground;
    *background = g_answeredBackground;
    return 0;
}

TEST_F(Command, ColourAnswersOutsideZeroToFifteenAreBadColors) {
    ImportPatch reader(TestProgramModule(), "TakeCmd.dll", "ParseColors",
                       reinterpret_cast<void*>(&AnsweringParseColors));
    ASSERT_TRUE(reader.Applied());
    const struct { int foreground, background; } bad[] = {{16, 0}, {31, 1}, {1, 16}, {-1, 0}};
    for (const auto& c : bad) {
        SCOPED_TRACE(testing::Message() << c.foreground << " on " << c.background);
        g_answeredForeground = c.foreground;
        g_answeredBackground = c.background;
        g_settings.timerColors = 0x4E;
        output.Clear();
        EXPECT_EQ(1, Run(L"/C:shade"));
        EXPECT_EQ(kPrefix + L"Bad colors: \"SHADE\"\r\n", output.Err());
        EXPECT_EQ(0x4E, g_settings.timerColors) << "the settings stay as they were";
    }
    g_answeredForeground = 15;
    g_answeredBackground = 0;
    output.Clear();
    EXPECT_EQ(0, Run(L"/C:shade"));
    EXPECT_EQ(0x0F, g_settings.timerColors);
    EXPECT_EQ(Report(WithColors(L"Bright white on black")), output.Out());
}

TEST_F(Command, ResetsTheCommandCountAtOnce) {
    EXPECT_EQ(0, Run(L"/K:0x10"));
    EXPECT_EQ(16u, g_timing.commandCount);
    EXPECT_EQ(Report(ReportLines()), output.Out());

    EXPECT_EQ(0, Run(L"/k=18446744073709551615"));
    EXPECT_EQ(18446744073709551615ull, g_timing.commandCount);

    output.Clear();
    EXPECT_EQ(1, Run(L"/K /Q"));
    EXPECT_EQ(0u, g_timing.commandCount);
    EXPECT_EQ(kPrefix + L"Unknown option \"/Q\"\r\n", output.Err());
    EXPECT_EQ(L"", output.Out());

    g_timing.commandCount = 5;
    EXPECT_EQ(1, Run(L"/K:x"));
    EXPECT_EQ(5u, g_timing.commandCount);
}

TEST_F(Command, HelpEndsTheRunUnchanged) {
    EXPECT_EQ(0, Run(L"/B:T /?"));
    EXPECT_EQ(COMMAND_HELP_TEXT, output.Out());
    EXPECT_EQ(L"", output.Err());
    ExpectDefaultSettings();

    output.Clear();
    EXPECT_EQ(0, Run(L"/T:5 /?? /q"));
    EXPECT_EQ(std::wstring(COMMAND_HELP_TEXT) + L"\r\n\t\t\t\tLapwatch  " EXPECTED_VERSION L" (" + kArch.platform +
                  L")\r\n",
              output.Out());
    EXPECT_EQ(L"", output.Err());
    ExpectDefaultSettings();
}

TEST_F(Command, RestoresDefaultsBeforeOtherOptions) {
    g_settings.showTimer = 2;
    g_settings.timerColors = 0x4E;
    g_settings.slowSeconds = 3;
    SetSlowCommand(L"echo slow");
    EXPECT_EQ(0, Run(L"/D /T:5"));
    EXPECT_EQ(L"Default plugin settings restored.\r\n" + Report(WithSlow(L"5 seconds or more")), output.Out());
    EXPECT_EQ(5u, g_settings.slowSeconds);
    EXPECT_EQ(nullptr, g_settings.slowCommand);

    output.Clear();
    ReportLines r;
    r.command = L"echo x";
    r.colors = L"Bright yellow on red";
    EXPECT_EQ(0, Run(L"/C:0x4E /d echo x"));
    EXPECT_EQ(L"Default plugin settings restored.\r\n" + Report(r), output.Out());
}

TEST_F(Command, DashRemovesTheSlowCommand) {
    SetSlowCommand(L"echo slow");
    EXPECT_EQ(0, Run(L"/T:3 -"));
    EXPECT_EQ(nullptr, g_settings.slowCommand);
    ReportLines r;
    r.slow = L"3 seconds or more";
    EXPECT_EQ(Report(r), output.Out());

    // Only a lone dash removes it.
    output.Clear();
    EXPECT_EQ(0, Run(L"--"));
    EXPECT_STREQ(L"--", g_settings.slowCommand);
}

TEST_F(Command, ResetTotalWaitsForTheNextStop) {
    g_timing.total = 12345;
    EXPECT_EQ(0, Run(L"/z"));
    EXPECT_EQ(1, g_timing.resetPending);
    EXPECT_EQ(12345u, g_timing.total);
    EXPECT_EQ(Report(ReportLines()), output.Out());
}

TEST_F(Command, TokenizerOverflowStillReports) {
    std::wstring text(8192, L'x');
    EXPECT_EQ(0, Run(text.c_str()));
    EXPECT_EQ(kPrefix + L"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n", output.Err());
    EXPECT_EQ(Report(ReportLines()), output.Out());
    EXPECT_EQ(nullptr, g_settings.slowCommand);
}

TEST_F(Command, SavesAndRestoresThroughTheRegistry) {
    EXPECT_EQ(0, Run(L"/B:T /C:0x4E /T:7 /S echo slow"));
    ReportLines saved;
    saved.mode = L"Text";
    saved.colors = L"Bright yellow on red";
    saved.slow = L"7 seconds or more";
    saved.command = L"echo slow";
    EXPECT_EQ(Report(saved) + SavedTo(L"HKCU"), output.Out());
    EXPECT_EQ(L"", output.Err());

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"ShowTimer", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x02\0\0\0", 4), data);
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, L"TextBarColors", &type, &data));
    EXPECT_EQ(std::string("\x4E\0\0\0", 4), data);
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, L"ShowTimer", &type, &data));

    RestoreDefaultSettings();
    output.Clear();
    EXPECT_EQ(0, Run(L"/R"));
    EXPECT_EQ(RestoredFrom(L"HKCU") + Report(saved), output.Out());
    EXPECT_EQ(L"", output.Err());

    // An option given with /R overrides the restored value.
    RestoreDefaultSettings();
    output.Clear();
    EXPECT_EQ(0, Run(L"/T:1 /r"));
    saved.slow = L"1 second or more";
    EXPECT_EQ(RestoredFrom(L"HKCU") + Report(saved), output.Out());
}

TEST_F(Command, SavesForTheLocalMachine) {
    EXPECT_EQ(0, Run(L"/S /B:O /s!"));
    EXPECT_EQ(Report(WithMode(L"Off")) + SavedTo(L"HKLM"), output.Out());
    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, L"ShowTimer", &type, &data));
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, L"ShowTimer", &type, &data));
    EXPECT_EQ(std::string("\0\0\0\0", 4), data);
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, L"SlowCommand", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("\0\0", 2), data);

    RestoreDefaultSettings();
    output.Clear();
    EXPECT_EQ(0, Run(L"/R"));
    EXPECT_EQ(RestoredFrom(L"HKLM") + Report(WithMode(L"Off")), output.Out());
}

TEST_F(Command, RestoreWithoutSavedSettings) {
    g_settings.showTimer = 2;
    EXPECT_EQ(0, Run(L"/R"));
    EXPECT_EQ(L"Settings not found in the registry.\r\n" + Report(WithMode(L"Text")), output.Out());
    EXPECT_EQ(L"", output.Err());
}

TEST_F(Command, ReportsAFailedSave) {
    {
        SCOPED_TRACE("RegSetValueExW");
        ExpectFailedSave<RefusedValueWrite>(L"/S", L"HKCU");
    }
    {
        SCOPED_TRACE("RegCreateKeyExW");
        ExpectFailedSave<RefusedKeyCreation>(L"/S!", L"HKLM");
    }
}

TEST_F(Command, IsExportedByTheLibrary) {
    LoadedPlugin plugin;
    auto command = plugin.Get<CommandFn>("lapwatch");
    ASSERT_NE(nullptr, command);
    wchar_t text[] = L"/q";
    EXPECT_EQ(1, command(text));
    EXPECT_EQ(kPrefix + L"Unknown option \"/q\"\r\n", output.Err());
    output.Clear();
    wchar_t none[] = L"";
    EXPECT_EQ(0, command(none));
    EXPECT_EQ(Report(ReportLines()), output.Out());
}

}  // namespace
