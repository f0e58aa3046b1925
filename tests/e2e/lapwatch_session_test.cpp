// Sessions of lapshell with the Lapwatch plug-in, driven by scripts.
#include "shell_runner.h"
#include "tests/support/expected_version.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const wchar_t kLoadMessage[] = L"Lapwatch v" EXPECTED_VERSION_SHORT L" loaded.";
const wchar_t kTimerAttribute[] = L"1F";

// Sets an environment variable of the test process (which lapshell
// inherits) for the life of the object.
struct ScopedEnvironment {
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name, nullptr); }
    const wchar_t* name;
};

// The cells of a screen-log entry whose attribute is `attribute`, as
// [first, last] columns, or {-1, -1} when there are none.
std::pair<int, int> CellsWithAttribute(const ScreenEntry& entry, const std::wstring& attribute) {
    const std::wstring& attrs = entry.at(L"attrs");
    int first = -1, last = -1;
    for (size_t cell = 0; cell * 2 + 1 < attrs.size(); ++cell) {
        if (attrs.compare(cell * 2, 2, attribute) == 0) {
            if (first < 0) first = static_cast<int>(cell);
            last = static_cast<int>(cell);
        }
    }
    return {first, last};
}

// True when text is the default timer text " [count]  H:MM:SS.mmm " for the
// given count and a duration of at least minTicks.
bool IsTimerText(const std::wstring& text, const std::wstring& count, unsigned long long minTicks) {
    std::wregex form(L" \\[" + count + L"\\]  (\\d+):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d) ");
    std::wsmatch m;
    if (!std::regex_match(text, m, form))
        return false;
    unsigned long long ms = ((std::stoull(m[1]) * 60 + std::stoull(m[2])) * 60 + std::stoull(m[3])) * 1000 +
                            std::stoull(m[4]);
    return ms * 10000 >= minTicks;
}

TEST(LapwatchSession, LoadMessageOnlyInInteractiveShell) {
    struct Case {
        const char* name;
        ShellOptions options;
        const wchar_t* noloadmsg;
        size_t expected;
    };
    ShellOptions piped;
    piped.stdoutKind = StdoutKind::Pipe;
    ShellOptions transient;
    transient.arguments = {L"-c", L"echo transient line"};
    const Case cases[] = {
        {"interactive", ShellOptions(), nullptr, 1},
        {"noloadmsg set", ShellOptions(), L"1", 0},
        {"output piped", piped, nullptr, 0},
        {"transient", transient, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment noloadmsg(L"noloadmsg", c.noloadmsg);
        ShellRun run = RunShell({L"echo session line", L"exit"}, c.options);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(c.expected, CountOf(run.out, kLoadMessage)) << Narrow(run.out);
        EXPECT_TRUE(run.out.find(L"session line") != std::wstring::npos ||
                    run.out.find(L"transient line") != std::wstring::npos);
        EXPECT_EQ(L"", run.err);
    }
}

TEST(LapwatchSession, TimerOverlayShownAfterTimedLineAndErasedAtNextPrompt) {
    ShellRun run = RunShell({L"delay 0.3", L"", L"exit"});
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(3u, run.screen.size()) << Narrow(run.out);

    EXPECT_EQ(-1, CellsWithAttribute(run.screen[0], kTimerAttribute).first);

    const ScreenEntry& shown = run.screen[1];
    int width = std::stoi(shown.at(L"width"));
    std::pair<int, int> cells = CellsWithAttribute(shown, kTimerAttribute);
    std::wstring text = shown.at(L"text");
    ASSERT_EQ(static_cast<size_t>(width), text.size());
    EXPECT_EQ(width - 2, cells.second) << "the text ends one column short of the right edge";
    std::wstring overlay = text.substr(static_cast<size_t>(cells.first),
                                       static_cast<size_t>(cells.second - cells.first + 1));
    // At least the 0.3 s of the delay; no upper bound on a slow machine.
    EXPECT_TRUE(IsTimerText(overlay, L"1", 3000000)) << Narrow(overlay);
    EXPECT_EQ(L' ', overlay.back());

    // The blank line is not timed; its prompt event erases the overlay.
    EXPECT_EQ(-1, CellsWithAttribute(run.screen[2], kTimerAttribute).first);
    EXPECT_EQ(std::wstring(static_cast<size_t>(width), L' '), run.screen[2].at(L"text"));
}

TEST(LapwatchSession, TimerFormatsKeepTheirBlanks) {
    // Each format is set with a blank at the end, which the drawn text keeps:
    // the overlay ends one column short of the edge with that blank.
    const struct {
        const wchar_t* format;
        const wchar_t* shown;
    } cases[] = {
        {L" %%_cmdtime ", L" 0:00:00\\.\\d{3} "},
        {L" %%_cmdtime of %%_cmdtotaltime ", L" 0:00:00\\.\\d{3} of 0:00:\\d\\d\\.\\d{3} "},
        {L" #%%_cmdcount ", L" #6 "},
    };
    std::vector<std::wstring> script;
    for (const auto& c : cases) {
        script.push_back(std::wstring(L"set LAPWATCHFMT=") + c.format);
        script.push_back(L"delay 0.1");
    }
    script.push_back(L"exit");
    ShellRun run = RunShell(script);
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(script.size(), run.screen.size()) << Narrow(run.out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(Narrow(cases[i].format));
        const ScreenEntry& after = run.screen[2 * i + 2];  // the prompt after the delay
        int width = std::stoi(after.at(L"width"));
        std::pair<int, int> cells = CellsWithAttribute(after, kTimerAttribute);
        ASSERT_EQ(width - 2, cells.second) << Narrow(after.at(L"text"));
        std::wstring overlay = after.at(L"text").substr(static_cast<size_t>(cells.first),
                                                       static_cast<size_t>(cells.second - cells.first + 1));
        EXPECT_TRUE(std::regex_match(overlay, std::wregex(cases[i].shown))) << "[" << Narrow(overlay) << "]";
    }
}

TEST(LapwatchSession, StatusBarTakesTheTimerInsteadOfTheOverlay) {
    ShellOptions options;
    options.arguments = {L"--statusbar"};
    ShellRun run = RunShell({L"delay 0.2", L"exit"}, options);
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(2u, run.screen.size());
    EXPECT_EQ(L"0", run.screen[0].at(L"status"));
    EXPECT_EQ(L"1", run.screen[1].at(L"status"));
    EXPECT_TRUE(IsTimerText(run.screen[1].at(L"statustext"), L"1", 2000000)) << Narrow(run.screen[1].at(L"statustext"));
    EXPECT_EQ(-1, CellsWithAttribute(run.screen[1], kTimerAttribute).first);
}

TEST(LapwatchSession, SlowCommandRunsThroughTheShellAfterASlowLine) {
    // %% keeps the reference for the slow command, which the shell expands
    // when it runs it: the last command word is then "delay".
    ShellRun run = RunShell({L"lapwatch /T:1 echo SLOW %%_lastcmd", L"echo quick", L"delay 1.1",
                             L"echo after", L"exit"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(1u, CountOf(run.out, L"SLOW delay\r\n")) << Narrow(run.out);
    size_t slow = run.out.find(L"SLOW delay");
    EXPECT_LT(run.out.find(L"$ delay 1.1"), slow);
    EXPECT_LT(slow, run.out.find(L"$ echo after"));
}

TEST(LapwatchSession, VariablesSeeTheLineBeingTimed) {
    ShellRun run = RunShell({L"echo count=%_cmdcount last=%_lastcmd", L"echo t=%@tickstotime[15000000]", L"exit"});
    ASSERT_TRUE(run.finished);
    EXPECT_NE(std::wstring::npos, run.out.find(L"\r\ncount=1 last=echo\r\n")) << Narrow(run.out);
    EXPECT_NE(std::wstring::npos, run.out.find(L"\r\nt=0:00:01.500\r\n"));
}

TEST(LapwatchSession, ErrorPrefixNamesBatchFileAndLine) {
    TempFolder folder;
    std::wstring batch = folder.File(L"bad.btm");
    WriteUtf8File(batch, L"echo in batch\r\nlapwatch /q\r\n");
    std::wstring full = FullPath(batch);

    ShellRun run = RunShell({L"lapwatch /q", batch, L"exit"});
    ASSERT_TRUE(run.finished);
    std::vector<std::wstring> errors = LinesOf(run.err);
    ASSERT_EQ(2u, errors.size()) << Narrow(run.err);
    EXPECT_EQ(L"Lapwatch plugin: Unknown option \"/q\"", errors[0]);
    EXPECT_EQ(L"Lapwatch plugin: " + full + L" [2]  Unknown option \"/q\"", errors[1]);
    EXPECT_NE(std::wstring::npos, run.out.find(L"in batch"));
}

}  // namespace
