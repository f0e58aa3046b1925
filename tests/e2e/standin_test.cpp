// The stand-in shell itself, with its test plug-in (echo_plugin.dll).
#include "shell_runner.h"
#include "shell/engine/standin.h"

#include <gtest/gtest.h>

namespace {

ShellOptions WithEchoPlugin(std::vector<std::wstring> more = {}) {
    ShellOptions options;
    options.arguments = {L"--plugin", ProgramFolder() + L"\\echo_plugin.dll"};
    options.arguments.insert(options.arguments.end(), more.begin(), more.end());
    return options;
}

bool HasLine(const ShellRun& run, const std::wstring& line) {
    for (const std::wstring& each : LinesOf(run.out)) {
        if (each == line) return true;
    }
    return false;
}

struct LineCase {
    const wchar_t* input;
    const wchar_t* expected;
};

// Runs each input as "echo N:input" in one session and checks that the
// output has the line "N:expected".
void ExpectEchoes(const std::vector<LineCase>& cases, const ShellOptions& options) {
    std::vector<std::wstring> script;
    for (size_t i = 0; i < cases.size(); ++i) {
        script.push_back(L"echo " + std::to_wstring(i) + L":" + cases[i].input);
    }
    script.push_back(L"exit");
    ShellRun run = RunShell(script, options);
    ASSERT_TRUE(run.finished);
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(HasLine(run, std::to_wstring(i) + L":" + cases[i].expected))
            << Narrow(cases[i].input) << "\n" << Narrow(run.out);
    }
}

TEST(StandInShell, ExpandsReferencesInLookupOrder) {
    SetEnvironmentVariableW(L"E2E_ENV_VALUE", L"Mixed Case");
    SetEnvironmentVariableW(L"_echoenv", L"from-env");
    ExpectEchoes({
                     {L"%_echovar", L"echo-value"},
                     {L"%_ECHOVAR", L"echo-value"},
                     {L"%[_echovar]x", L"echo-valuex"},
                     {L"[%_4ver]", L"[32]"},             // shell variable before plug-in
                     {L"%_echoenv", L"from-plugin"},     // plug-in before environment
                     {L"%e2e_env_value", L"Mixed Case"},
                     {L"%E2E_ENV_VALUE%!", L"Mixed Case!"},
                     {L"%@upper[a %_echovar]", L"A ECHO-VALUE"},
                     {L"%@upper[[x]]", L"[X]"},
                     {L"100%% and 5%", L"100% and 5%"},
                     {L"[%_echofail][%no_such_name][%@nosuch[x]]", L"[][][]"},
                     {L"%_transient%_pipe%_batch", L"000"},
                 },
                 WithEchoPlugin());
    SetEnvironmentVariableW(L"E2E_ENV_VALUE", nullptr);
    SetEnvironmentVariableW(L"_echoenv", nullptr);
}

TEST(StandInShell, FillsInTheModuleFieldsOfTheInformationRecord) {
    std::wstring expected = L"handle " + ProgramFolder() + L"\\echo_plugin.dll";
    ExpectEchoes({{L"%_echomodule", expected.c_str()}}, WithEchoPlugin());
}

TEST(StandInShell, VersionOptionSetsHostVersion) {
    ExpectEchoes({{L"[%_4ver]", L"[23]"}}, WithEchoPlugin({L"--version", L"23"}));
}

TEST(StandInShell, ExpansionNeverWritesPastTheBuffer) {
    // "bound" expands its argument in an 8192-character buffer with guard
    // characters after it; %% leaves the reference for that expansion.
    ShellRun run = RunShell({L"bound ab%%_echolong", L"bound %%_echolong%%_echolong", L"bound short", L"exit"},
                            WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(2u, CountOf(run.out, L"bound 8191 intact\r\n")) << Narrow(run.out);
    EXPECT_TRUE(HasLine(run, L"bound 5 intact"));
}

TEST(StandInShell, OutputFunctionsAndColors) {
    ShellRun run = RunShell({L"printfs", L"colors bright white on blue", L"colors YELLOW on Black",
                             L"colors bright red on bright black", L"colors purple on black", L"colors white",
                             L"colors white on blue extra", L"exit"},
                            WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(HasLine(run, L"d=-42 u=4000000000 s=wide pct=% big=12345678901234 pad=07:005 neg=-1"));
    EXPECT_TRUE(HasLine(run, L"puts 100% literal"));
    EXPECT_EQ(L"err=to stderr 3\r\n", run.err);
    std::vector<std::wstring> colors;
    for (const std::wstring& line : LinesOf(run.out)) {
        if (line.rfind(L"colors ", 0) == 0) colors.push_back(line);
    }
    std::vector<std::wstring> expected = {L"colors 0 15 1", L"colors 0 6 0", L"colors 0 12 8",
                                          L"colors 1 255 255", L"colors 1 255 255", L"colors 1 255 255"};
    EXPECT_EQ(expected, colors);
}

TEST(StandInShell, KeyEventsCarryTheLineBeforeEachKey) {
    ShellRun run = RunShell({L"x\x1By", L"echo %_keylog", L"exit"}, WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    // The edit position at the end of the line, redraw 0; the prompt event
    // all zero.
    EXPECT_NE(std::wstring::npos,
              run.out.find(L"\r\n0:-:-@-/0;120:x:@0/0;27:Esc:x@1/0;121:y:@0/0;13:Enter:y@1/0;0:-:-@-/0;"
                           L"101:e:@0/0;99:c:e@1/0;"))
        << Narrow(run.out);
    EXPECT_EQ(L"Unknown command \"y\"\r\n", run.err);
}

TEST(StandInShell, CtrlCInAScriptedLineDropsIt) {
    // The plug-ins get Esc with the line so far; the line does not run.
    ShellRun run = RunShell({L"echo gone\x03", L"echo %_keylog", L"exit"}, WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_NE(std::wstring::npos, run.out.find(L"echo gone^C\r\n")) << Narrow(run.out);
    EXPECT_FALSE(HasLine(run, L"gone"));
    EXPECT_NE(std::wstring::npos, run.out.find(L"110:n:echo go@7/0;101:e:echo gon@8/0;27:Esc:echo gone@9/0;0:-:-@-/0;"))
        << Narrow(run.out);
}

TEST(StandInShell, BatchFilesSetBatchVariables) {
    TempFolder folder;
    std::wstring batch = folder.File(L"vars.btm");
    WriteUtf8File(batch, L"echo [%_batch] %_batchname [%_batchline] %1 %2\r\n:label\r\n@echo line %_batchline\r\n");
    std::wstring full = FullPath(batch);

    ShellRun run = RunShell({batch + L" one \"two words\"", L"echo after [%_batch][%_batchname][%_batchline]",
                             L"exit"},
                            WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(HasLine(run, L"[1] " + full + L" [1] one \"two words\"")) << Narrow(run.out);
    EXPECT_TRUE(HasLine(run, L"line 3"));
    EXPECT_TRUE(HasLine(run, L"after [0][][]"));
}

TEST(StandInShell, CommandRunsLinesLikeTypedOnes) {
    ShellRun run = RunShell({L"run echo via command", L"run set E2E_FROM_COMMAND=yes", L"echo [%e2e_from_command]",
                             L"set E2E_FROM_COMMAND=", L"echo [%e2e_from_command]", L"help echocmd", L"frobnicate now",
                             L"exit"},
                            WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(HasLine(run, L"via command"));
    EXPECT_TRUE(HasLine(run, L"[yes]"));
    EXPECT_TRUE(HasLine(run, L"[]"));
    EXPECT_TRUE(HasLine(run, L"echocmd [text]"));  // the plug-in's usage text
    EXPECT_EQ(L"Unknown command \"frobnicate\"\r\n", run.err);
}

TEST(StandInShell, SetKeepsTheValueAsTyped) {
    // Blanks after "=" and at the end belong to the value, as in Windows'
    // command shell; the name loses the blanks around it.
    ShellRun run = RunShell({L"set E2E_PADDED= two  words  ", L"echo [%e2e_padded]",
                             L"set   E2E_NAME =x", L"echo [%e2e_name]",
                             L"set E2E_BLANK= ", L"echo [%e2e_blank]",
                             L"set E2E_PADDED=", L"echo [%e2e_padded]",
                             L"set e2e_na ", L"exit"},
                            WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(HasLine(run, L"[ two  words  ]")) << Narrow(run.out);
    EXPECT_TRUE(HasLine(run, L"[x]"));
    EXPECT_TRUE(HasLine(run, L"[ ]"));
    EXPECT_TRUE(HasLine(run, L"[]"));
    EXPECT_TRUE(HasLine(run, L"E2E_NAME=x"));  // the listing's prefix is trimmed
    EXPECT_EQ(L"", run.err);
}

TEST(StandInShell, IfAndAtIfCompareAsTheShellDoes) {
    struct Case {
        const wchar_t* line;
        const wchar_t* shown;       // the output line, or null for none
    };
    const Case cases[] = {
        {L"if 9 LT 10 echo 1:numbers, not text", L"1:numbers, not text"},
        {L"if abc == ABC echo 2:case ignored", L"2:case ignored"},
        {L"if not abc == abd echo 3:not", L"3:not"},
        {L"if \"%_4ver\" == \"32\" echo 4:%_4ver", L"4:32"},
        {L"if 7 ge 7 echo 5:ge", L"5:ge"},
        {L"if 8 NE 8 echo 6:ne", nullptr},
        {L"if 100 LE 20 echo 7:le", nullptr},
        {L"if b GT a echo 8:text order", L"8:text order"},
        {L"if 1 EQ 1 echo 9:%%_4ver", L"9:%_4ver"},  // the command is not expanded twice
        {L"echo 10:[%@if[3 GE 20,long,short]]", L"10:[short]"},
        {L"echo 11:[%@IF[30 GE 20, %_4ver ,]]", L"11:[ 32 ]"},
        {L"echo 12:[%@if[30 LT 20, x ,]]", L"12:[]"},
        {L"echo 13:[%@if[1 XX 2,a,b]]", L"13:[]"},
        {L"if 1 XX 2 echo 14:bad operator", nullptr},
        {L"if 1 == 1", nullptr},
    };
    std::vector<std::wstring> script;
    for (const Case& c : cases) script.push_back(c.line);
    script.push_back(L"exit");
    ShellRun run = RunShell(script, WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        std::wstring tag = std::to_wstring(i + 1) + L":";
        bool any = false;
        for (const std::wstring& line : LinesOf(run.out)) any = any || line.rfind(tag, 0) == 0;
        if (cases[i].shown != nullptr) EXPECT_TRUE(HasLine(run, cases[i].shown)) << Narrow(cases[i].line);
        else EXPECT_FALSE(any) << Narrow(cases[i].line);
    }
    EXPECT_EQ(L"Syntax: %@if[condition,then,else]\r\nSyntax: if [not] A op B command\r\n"
              L"Syntax: if [not] A op B command\r\n",
              run.err);
}

TEST(StandInShell, QuitEndsTheBatchFileOrTheShell) {
    TempFolder folder;
    std::wstring batch = folder.File(L"quits.btm");
    WriteUtf8File(batch, L"echo in batch\r\nif 1 == 1 quit\r\necho after quit\r\n");
    ShellRun run = RunShell({batch, L"echo back at the prompt", L"quit", L"echo after the shell"}, WithEchoPlugin());
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(HasLine(run, L"in batch"));
    EXPECT_TRUE(HasLine(run, L"back at the prompt"));
    EXPECT_EQ(0u, CountOf(run.out, L"after quit"));
    EXPECT_EQ(0u, CountOf(run.out, L"after the shell\r\n"));
}

TEST(StandInShell, ClsBlanksTheBufferInTheCurrentColours) {
    // The whole buffer shows x in 07 first; the shell's prompt goes to its
    // output file, so after cls the window's top rows hold blanks only.
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO before;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &before));
    DWORD cells = static_cast<DWORD>(before.dwSize.X) * static_cast<DWORD>(before.dwSize.Y), written = 0;
    FillConsoleOutputCharacterW(console, L'x', cells, COORD{0, 0}, &written);
    FillConsoleOutputAttribute(console, 0x07, cells, COORD{0, 0}, &written);
    SetConsoleTextAttribute(console, 0x1E);
    ShellRun run = RunShell({L"cls", L"exit"}, WithEchoPlugin({L"--screen-rows", L"2"}));
    SetConsoleTextAttribute(console, before.wAttributes);
    CloseHandle(console);
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(2u, run.screen.size());
    ScreenEntry& after = run.screen[1];
    size_t width = static_cast<size_t>(before.dwSize.X);
    std::wstring blankAttrs;
    for (size_t i = 0; i < width; ++i) blankAttrs += L"1E";
    EXPECT_EQ(L"0", after[L"row"]);
    EXPECT_EQ(std::wstring(width, L' '), after[L"text"]);
    EXPECT_EQ(std::wstring(width, L' '), after[L"text1"]);
    EXPECT_EQ(blankAttrs, after[L"attrs"]);
    EXPECT_EQ(blankAttrs, after[L"attrs1"]);
}

TEST(StandInShell, TransientAndPipeFlagsReachPlugins) {
    struct Case {
        const char* name;
        ShellOptions options;
        const wchar_t* probe;
    };
    ShellOptions piped = WithEchoPlugin();
    piped.stdoutKind = StdoutKind::Pipe;
    const Case cases[] = {
        {"interactive", WithEchoPlugin(), L"EchoPlugin started [00]"},
        {"piped", piped, L"EchoPlugin started [01]"},
        {"transient", WithEchoPlugin({L"-c", L"echo once"}), L"EchoPlugin started [10]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShellRun run = RunShell({L"exit"}, c.options);
        ASSERT_TRUE(run.finished);
        EXPECT_TRUE(HasLine(run, c.probe)) << Narrow(run.out);
        EXPECT_TRUE(HasLine(run, L"EchoPlugin stopped"));
    }
}

// The control interface, used in this process through TakeCmd.dll.
struct StandInLibrary {
    StandInLibrary() : module(LoadLibraryW(L"TakeCmd.dll")) {}
    ~StandInLibrary() { FreeLibrary(module); }
    template <typename Fn> Fn Get(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    HMODULE module;
};

// The engine in this process with the echo plug-in loaded, output captured.
struct InProcessShell : StandInLibrary {
    InProcessShell() {
        Get<void (*)()>("StandInReset")();
        Get<HMODULE (*)(const wchar_t*)>("StandInLoadPlugin")((ProgramFolder() + L"\\echo_plugin.dll").c_str());
        Get<void (*)(int)>("StandInCapture")(1);
        Get<int (*)()>("StandInStartPlugins")();
    }
    ~InProcessShell() {
        Get<void (*)()>("StandInUnloadPlugins")();
        Get<void (*)(int)>("StandInCapture")(0);
        Get<void (*)()>("StandInReset")();
    }
    // What a line wrote to standard output; *result its result.
    std::wstring Run(const wchar_t* line, int* result = nullptr) {
        Get<void (*)()>("StandInClearCaptured")();
        int got = Get<int (*)(const wchar_t*)>("StandInRunLine")(line);
        if (result != nullptr)
            *result = got;
        return Get<const wchar_t* (*)(int)>("StandInCaptured")(STANDIN_OUT);
    }
};

TEST(StandInLibraryInProcess, KeysWithoutACharacterCarryACodeOnlyForOlderHosts) {
    struct Case {
        const wchar_t* version;
        int virtualKey;
        const wchar_t* name;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {L"32", VK_UP, L"Up", L"0:Up:ab@2/0;"},
        {L"24", VK_DOWN, L"Down", L"0:Down:ab@2/0;"},
        {L"23", VK_UP, L"Up", L"65574:Up:ab@2/0;"},  // 0x10000 + VK_UP
        {L"23.9", VK_DOWN, L"Down", L"65576:Down:ab@2/0;"},
    };
    InProcessShell shell;
    auto sendNamedKey = shell.Get<void (*)(int, const wchar_t*, wchar_t*)>("StandInSendNamedKey");
    auto setVariable = shell.Get<void (*)(const wchar_t*, const wchar_t*)>("StandInSetVariable");
    ASSERT_TRUE(sendNamedKey && setVariable);
    for (const Case& c : cases) {
        setVariable(L"_4ver", c.version);
        shell.Run(L"echo %_keylog");  // empties the log
        wchar_t line[] = L"ab";
        sendNamedKey(c.virtualKey, c.name, line);
        EXPECT_EQ(std::wstring(c.logged) + L"\r\n", shell.Run(L"echo %_keylog")) << Narrow(c.version);
    }
}

// Ctrl+C a moment later, on a thread of its own as the console's handler.
DWORD WINAPI PressCtrlCSoon(void* interruptEvent) {
    Sleep(300);
    return SetEvent(static_cast<HANDLE>(interruptEvent));
}

TEST(StandInLibraryInProcess, CtrlCStopsADelayOrABatchFileAndEndsInCaretC) {
    TempFolder folder;
    std::wstring batch = folder.File(L"long.btm");
    WriteUtf8File(batch, L"echo one\r\ndelay 30\r\necho two\r\n");
    struct Case {
        std::wstring line;
        std::wstring shown;
    };
    const Case cases[] = {
        {L"delay 30", L"^C\r\n"},
        {batch, L"one\r\n^C\r\n"},
        {L"run " + batch, L"one\r\n^C\r\n"},  // a batch file run through Command()
    };
    InProcessShell shell;
    auto interruptEvent = shell.Get<HANDLE (*)()>("StandInInterruptEvent");
    ASSERT_NE(nullptr, interruptEvent);
    for (const Case& c : cases) {
        HANDLE pressed = CreateThread(nullptr, 0, PressCtrlCSoon, interruptEvent(), 0, nullptr);
        DWORD start = GetTickCount();
        int result = 0;
        EXPECT_EQ(c.shown, shell.Run(c.line.c_str(), &result)) << Narrow(c.line);
        EXPECT_LT(GetTickCount() - start, 10000u) << Narrow(c.line);
        EXPECT_EQ(3, result);
        WaitForSingleObject(pressed, INFINITE);
        CloseHandle(pressed);
        EXPECT_EQ(L"after\r\n", shell.Run(L"echo after"));  // nothing left pending
    }
}

TEST(StandInLibraryInProcess, CaptureKeepsStandardStreamsAndPassesOtherHandles) {
    StandInLibrary library;
    ASSERT_NE(nullptr, library.module);
    auto reset = library.Get<void (*)()>("StandInReset");
    auto load = library.Get<HMODULE (*)(const wchar_t*)>("StandInLoadPlugin");
    auto start = library.Get<int (*)()>("StandInStartPlugins");
    auto unload = library.Get<void (*)()>("StandInUnloadPlugins");
    auto capture = library.Get<void (*)(int)>("StandInCapture");
    auto captured = library.Get<const wchar_t* (*)(int)>("StandInCaptured");
    auto clear = library.Get<void (*)()>("StandInClearCaptured");
    auto runLine = library.Get<int (*)(const wchar_t*)>("StandInRunLine");
    auto commandLog = library.Get<const wchar_t* (*)()>("StandInCommandLog");
    auto setStatusBar = library.Get<void (*)(int)>("StandInSetStatusBar");
    auto statusText = library.Get<const wchar_t* (*)()>("StandInStatusText");
    auto statusCount = library.Get<int (*)()>("StandInStatusCount");
    auto exitRequested = library.Get<int (*)()>("StandInExitRequested");
    ASSERT_TRUE(reset && load && start && unload && capture && captured && clear && runLine && commandLog &&
                setStatusBar && statusText && statusCount && exitRequested);

    reset();
    ASSERT_NE(nullptr, load((ProgramFolder() + L"\\echo_plugin.dll").c_str()));
    capture(1);
    EXPECT_EQ(1, start());
    EXPECT_STREQ(L"EchoPlugin started [00]\r\n", captured(STANDIN_OUT));

    clear();
    runLine(L"quiet");  // writes while the standard handles are on "nul"
    EXPECT_STREQ(L"shown out\r\n", captured(STANDIN_OUT));
    EXPECT_STREQ(L"", captured(STANDIN_ERR));

    clear();
    runLine(L"printfs");
    EXPECT_STREQ(L"err=to stderr 3\r\n", captured(STANDIN_ERR));

    clear();
    runLine(L"run echo logged");
    EXPECT_STREQ(L"echo logged\n", commandLog());
    EXPECT_STREQ(L"logged\r\n", captured(STANDIN_OUT));

    clear();
    runLine(L"status without bar");
    setStatusBar(1);
    runLine(L"status with bar");
    EXPECT_STREQ(L"status 1\r\nstatus 0\r\n", captured(STANDIN_OUT));
    EXPECT_STREQ(L"with bar", statusText());
    EXPECT_EQ(1, statusCount());

    EXPECT_EQ(0, exitRequested());
    runLine(L"exit");
    EXPECT_EQ(1, exitRequested());

    clear();
    unload();
    EXPECT_STREQ(L"EchoPlugin stopped\r\n", captured(STANDIN_OUT));
    capture(0);
    reset();
}

}  // namespace
