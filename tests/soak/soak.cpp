// A long seeded stream of random calls into the shipped DLL, loaded beside
// the stand-in shell library with the fake clock behind its import table,
// checking after each call what holds whatever the input. Every text,
// record and buffer handed to the DLL ends at a no-access page, and every
// field of a key event record that the DLL must not read is poison.
//
//   lapwatch_soak.exe [--seed S] [--calls N] [--long-answers]
//
// With --long-answers the stand-in answers every shell variable with the
// longest text it may write (8191 characters).
//
// On a failure it prints the seed and the call number; the same seed with
// --calls set to that number replays the stream up to the failing call.
#include "support/expected_version.h"
#include "support/guarded_memory.h"
#include "support/harness.h"
#include "support/key_records.h"
#include "support/system_fakes.h"

#include <stdio.h>
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

const size_t kResultChars = 8192;
const size_t kUsageChars = 1024;
const size_t kLongestText = 9200;      // a word of 9000 characters and more
const uint64_t kSecond = 10000000;

struct Soak {
    uint64_t seed = 1;
    uint64_t calls = 20000;
    uint64_t call = 0;                 // number of the call being made
    bool longAnswers = false;          // every shell variable 8191 characters
    std::mt19937_64 random;
};
Soak g_soak;

[[noreturn]] void Fail(const std::string& what) {
    printf("soak: FAILED at call %llu of seed %llu: %s\n", static_cast<unsigned long long>(g_soak.call),
           static_cast<unsigned long long>(g_soak.seed), what.c_str());
    printf("soak: replay with: lapwatch_soak.exe --seed %llu --calls %llu%s\n",
           static_cast<unsigned long long>(g_soak.seed), static_cast<unsigned long long>(g_soak.call),
           g_soak.longAnswers ? " --long-answers" : "");
    fflush(stdout);
    ExitProcess(1);
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    char what[64];
    snprintf(what, sizeof what, "exception 0x%08lx", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    Fail(what);
}

void Check(bool holds, const std::string& what) {
    if (!holds)
        Fail(what);
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text.substr(0, 120))
        narrow += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    return narrow;
}

// ---- random input -------------------------------------------------------

uint64_t Below(uint64_t n) { return n ? g_soak.random() % n : 0; }
bool Chance(unsigned percent) { return Below(100) < percent; }
template <typename T, size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

// Characters that steer the parsers, and some that merely occupy space.
wchar_t RandomCharacter() {
    static const wchar_t special[] = {L' ', L'\t', L'"', L'@', L'/', L':', L'=', L'-', L'%', L'\u3000', L'\u00e9'};
    if (Chance(30))
        return Pick(special);
    return static_cast<wchar_t>(Chance(90) ? L'a' + Below(26) : 1 + Below(0xD7FF));
}

std::wstring RandomText(size_t longest) {
    size_t length = Chance(5) ? Below(longest + 1) : Below(24);
    std::wstring text;
    for (size_t i = 0; i < length; ++i)
        text += RandomCharacter();
    return text;
}

std::wstring RandomNumber() {
    static const wchar_t* const numbers[] = {L"0", L"1", L"10", L"0x1F", L"0X10", L"4294967295", L"4294967296",
                                             L"18446744073709551615", L"18446744073709551616", L"0x", L"007", L"abc",
                                             L"", L"1.5", L" 5", L"-1", L"0x0x1F"};
    return Chance(70) ? Pick(numbers) : std::to_wstring(g_soak.random() >> Below(64));
}

std::wstring RandomCommandLine() {
    static const wchar_t* const words[] = {L"dir", L"@echo off", L"\"C:\\Program Files\\x.exe\" /v", L"@ dir",
                                           L"   ", L"", L"@@x y", L"lapwatch /?", L"delay 1"};
    if (Chance(3))
        return std::wstring(1 + Below(9000), L'w') + L" tail";
    return Chance(50) ? Pick(words) : RandomText(kLongestText);
}

// One argument line of the lapwatch command: options of its grammar, then
// perhaps a slow command; or random text.
std::wstring RandomCommandArguments() {
    if (Chance(10))
        return RandomText(kLongestText);
    static const wchar_t* const options[] = {L"/B:", L"/B", L"/C:", L"/C=", L"/T:", L"/T", L"/K", L"/K:", L"/Z",
                                             L"/D", L"/R", L"/S", L"/S!", L"/q", L"/Default", L"//"};
    static const wchar_t* const values[] = {L"D", L"s", L"Text", L"b", L"O", L"x", L"bright white on blue",
                                            L"\"yellow on black\"", L"red on red", L"Off"};
    std::wstring line;
    for (uint64_t n = Below(4); n > 0; --n) {
        std::wstring option = Pick(options);
        if (option.back() == L':' || option.back() == L'=')
            option += Chance(50) ? std::wstring(Pick(values)) : RandomNumber();
        line += option + L" ";
    }
    if (Chance(3))
        line += Chance(50) ? L"/?" : L"/??";
    if (Chance(20))
        line += Chance(30) ? L"-" : L"echo slow " + RandomText(40);
    return line;
}

// ---- the DLL under test ---------------------------------------------------

std::vector<std::wstring> g_commands;   // what the DLL handed to Command

int WINAPI RecordCommand(wchar_t* line, int) {
    g_commands.push_back(line ? line : L"(null)");
    return 0;
}

struct Dll {
    Dll()
        : clock(plugin.module),
          command(plugin.module, "TakeCmd.dll", "Command", reinterpret_cast<void*>(&RecordCommand)),
          boxes(plugin.module) {
        Check(plugin.module != nullptr, "the DLL does not load");
        Check(command.Applied() && boxes.Applied() && clock.patch.Applied(), "an import cannot be patched");
        key = plugin.Get<KeyHandlerFn>("key");
        lapwatch = plugin.Get<CommandFn>("lapwatch");
        help = plugin.Get<HelpFn>("Help");
        usage = plugin.Get<UsageFn>("Usage");
    }
    VariableFn Variable(const char* name) const { return plugin.Get<VariableFn>(name); }

    CleanSettingsKey cleanKey;
    LoadedPlugin plugin;
    FakeClock clock;
    ImportPatch command;               // slow commands are recorded, not run
    RecordedMessageBoxes boxes;        // help boxes are recorded, not shown
    CapturedOutput output;             // what the shell's output functions got
    KeyHandlerFn key;
    CommandFn lapwatch;
    HelpFn help;
    UsageFn usage;
};

// Memory that ends at a no-access page, one region per kind of argument.
struct Arena {
    GuardedMemory result{kResultChars * sizeof(wchar_t)};
    GuardedMemory line{(kLongestText + 8) * sizeof(wchar_t)};
    GuardedMemory name{64 * sizeof(wchar_t)};
    PoisonedKeyEvent record;
    GuardedMemory usage{kUsageChars * sizeof(wchar_t)};
};

// ---- properties -----------------------------------------------------------

bool IsDecimal(const std::wstring& text) {
    return !text.empty() && text.size() <= 20 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// "H:MM:SS.mmm" or "D HH:MM:SS.mmm".
bool IsClockText(const std::wstring& text, bool days) {
    size_t first = text.find(days ? L' ' : L':');
    if (first == 0 || first == std::wstring::npos || !IsDecimal(text.substr(0, first)))
        return false;
    std::wstring rest = text.substr(first + 1);
    std::wstring shape = days ? L"00:00:00.000" : L"00:00.000";
    if (rest.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == L'0' ? !iswdigit(rest[i]) : rest[i] != shape[i])
            return false;
    }
    return true;
}

// The settings report: everything from its heading on.
std::wstring ReportIn(const std::wstring& output) {
    size_t at = output.find(L"\r\nLapwatch v" EXPECTED_VERSION_SHORT L" settings:\r\n");
    if (at == std::wstring::npos)
        return L"";
    size_t end = output.find(L"\r\nSettings saved", at);
    return output.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

struct Model {
    uint64_t count = 0;                // _cmdcount as last read
    std::wstring savedUser;            // report of the last save to HKCU
    std::wstring savedMachine;         // ... to HKLM
    bool recentHost = true;
};

std::wstring ReadVariable(const Dll& dll, Arena& arena, const char* name) {
    wchar_t* buffer = arena.result.Buffer(kResultChars, L'#');
    int rc = dll.Variable(name)(buffer);
    Check(rc == 0, std::string(name) + " returned " + std::to_string(rc));
    std::wstring value = buffer;
    Check(value.size() < kResultChars, std::string(name) + " wrote no terminator");
    return value;
}

uint64_t ReadCount(const Dll& dll, Arena& arena) {
    std::wstring text = ReadVariable(dll, arena, "_cmdcount");
    Check(IsDecimal(text), "_cmdcount reads " + Narrow(text));
    return _wcstoui64(text.c_str(), nullptr, 10);
}

std::wstring TicksToTime(const Dll& dll, Arena& arena, const std::wstring& ticks) {
    wchar_t* buffer = arena.result.Buffer(kResultChars, L'#');
    wcscpy(buffer, ticks.c_str());
    Check(dll.Variable("f_tickstotime")(buffer) == 0, "@tickstotime refuses " + Narrow(ticks));
    return buffer;
}

// ---- the calls --------------------------------------------------------------

enum CountChange { COUNT_KEEPS, COUNT_MAY_RISE, COUNT_MAY_BE_SET };

CountChange KeyEventCall(const Dll& dll, Arena& arena, const Model& model) {
    static const wchar_t* const names[] = {L"Enter", L"Esc", L"enter", L"ENTER", L"Tab", L"a", L""};
    int code = 0;
    const wchar_t* name = nullptr;
    switch (Below(6)) {
    case 0: code = KEY_CODE_ENTER; name = Chance(50) ? L"Enter" : nullptr; break;
    case 1: code = KEY_CODE_NONE; name = Pick(names); break;
    case 2: code = KEY_CODE_ESC; name = L"Esc"; break;
    case 3: code = static_cast<int>(Below(300)); name = L"a"; break;
    default: code = KEY_CODE_NONE; break;    // the prompt event
    }
    wchar_t* line = Chance(5) ? nullptr : arena.line.Text(RandomCommandLine());
    KeyEvent* event = arena.record.Build(code, line, name ? arena.name.Text(name) : nullptr);
    Check(dll.key(event) == 0, "key did not return 0");
    bool enter = code == KEY_CODE_ENTER || (code == KEY_CODE_NONE && name && model.recentHost && wcscmp(name, L"Enter") == 0);
    return enter ? COUNT_MAY_RISE : COUNT_KEEPS;
}

void VariableCall(const Dll& dll, Arena& arena) {
    static const char* const decimals[] = {"_cmdcount", "_cmdticks", "_cmdtotalticks", "_ticks"};
    static const char* const clocks[] = {"_cmdtime", "_cmdtotaltime"};
    switch (Below(3)) {
    case 0: {
        const char* name = Pick(decimals);
        std::wstring value = ReadVariable(dll, arena, name);
        Check(IsDecimal(value), std::string(name) + " reads " + Narrow(value));
        break;
    }
    case 1: {
        const char* name = Pick(clocks);
        std::wstring value = ReadVariable(dll, arena, name);
        Check(IsClockText(value, false), std::string(name) + " reads " + Narrow(value));
        break;
    }
    default:
        Check(ReadVariable(dll, arena, "_lastcmd").size() <= 8191, "_lastcmd is too long");
        break;
    }
}

void VariableFunctionCall(const Dll& dll, Arena& arena) {
    bool days = Chance(50);
    std::wstring argument = Chance(70) ? RandomNumber() : RandomText(64);
    wchar_t* buffer = arena.result.Buffer(kResultChars, L'#');
    wcscpy(buffer, argument.c_str());
    int rc = dll.Variable(days ? "f_tickstotimed" : "f_tickstotime")(buffer);
    Check(rc == 0 || rc == -1, "@tickstotime returned " + std::to_string(rc));
    if (rc == 0)
        Check(IsClockText(buffer, days), "@tickstotime of " + Narrow(argument) + " reads " + Narrow(buffer));
}

CountChange CommandCall(Dll& dll, Arena& arena, Model& model, const std::wstring& arguments) {
    dll.output.Clear();
    int rc = dll.lapwatch(arena.line.Text(arguments));
    Check(rc == 0 || rc == 1 || rc == 2, "lapwatch returned " + std::to_string(rc) + " for " + Narrow(arguments));
    std::wstring said = dll.output.Out();
    if (said.find(L"Settings saved to the registry (HKCU") != std::wstring::npos)
        model.savedUser = ReportIn(said);
    if (said.find(L"Settings saved to the registry (HKLM") != std::wstring::npos)
        model.savedMachine = ReportIn(said);
    return arguments.find(L"/K") != std::wstring::npos || arguments.find(L"/k") != std::wstring::npos
               ? COUNT_MAY_BE_SET : COUNT_KEEPS;
}

// A plain /R brings back the report of the save it restores.
void RestoreCall(Dll& dll, Arena& arena, const Model& model) {
    dll.output.Clear();
    Check(dll.lapwatch(arena.line.Text(L"/R")) == 0, "lapwatch /R failed");
    const std::wstring& expected = model.savedUser.empty() ? model.savedMachine : model.savedUser;
    std::wstring report = ReportIn(dll.output.Out());
    if (!expected.empty())
        Check(report == expected, "the report after /R differs from the one saved: " + Narrow(report));
}

void HelpCall(const Dll& dll, Arena& arena) {
    static const wchar_t* const names[] = {L"lapwatch", L"LAPWATCH", L"_cmdtime", L"@tickstotimed", L"_ticks",
                                           L"tickstotime", L"", L"_CmdCount"};
    std::wstring name = Chance(70) ? std::wstring(Pick(names)) : RandomText(40);
    if (Chance(50)) {
        int rc = dll.help(arena.name.Text(name.substr(0, 60)));
        Check(rc == 0 || rc == 1, "Help returned " + std::to_string(rc));
        return;
    }
    wchar_t* buffer = arena.usage.Buffer(kUsageChars, L'#');
    int rc = dll.usage(arena.name.Text(name.substr(0, 60)), buffer);
    Check(rc == 0 || rc == 1, "Usage returned " + std::to_string(rc));
    if (rc == 1)
        Check(wcsncmp(buffer, L"LAPWATCH /B:n /C:n", 18) == 0, "Usage wrote " + Narrow(buffer));
    else
        Check(buffer[0] == L'#' && buffer[kUsageChars - 1] == L'#', "Usage wrote into the buffer of a name not its own");
}

// While idle, the clock texts are the tick counts as @tickstotime shows them.
void IdleCheck(const Dll& dll, Arena& arena) {
    Check(dll.key(arena.record.Build(KEY_CODE_NONE, nullptr, nullptr)) == 0, "key did not return 0");
    Check(TicksToTime(dll, arena, ReadVariable(dll, arena, "_cmdticks")) == ReadVariable(dll, arena, "_cmdtime"),
          "@tickstotime of _cmdticks is not _cmdtime");
    Check(TicksToTime(dll, arena, ReadVariable(dll, arena, "_cmdtotalticks")) ==
              ReadVariable(dll, arena, "_cmdtotaltime"),
          "@tickstotime of _cmdtotalticks is not _cmdtotaltime");
}

void Restart(const Dll& dll, Model& model) {
    bool recent = Chance(50);
    StandInSetVariable(L"_4ver", recent ? L"32" : L"23");
    model.recentHost = recent && !g_soak.longAnswers;    // a long answer is no version
    Check(dll.plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0) == 0, "ShutdownPlugin did not return 0");
    Check(dll.plugin.Get<InitializePluginFn>("InitializePlugin")() == 0, "InitializePlugin failed");
}

void StepClock(Dll& dll) {
    if (Chance(10))
        dll.clock.Set(dll.clock.Now() - Below(100 * kSecond));    // set back
    else
        dll.clock.Advance(Chance(90) ? Below(30 * kSecond) : g_soak.random() >> Below(64));
}

void ChangeEnvironment() {
    static const wchar_t* const formats[] = {nullptr, L"", L"%_cmdtime", L" [%_cmdcount]  %_cmdtime %_cmdtotaltime ",
                                             L"%@tickstotime[%_cmdticks] %_lastcmd", L"100%%",
                                             L"[%_cmdcount] %_batchname"};
    if (Chance(10))
        SetEnvironmentVariableW(L"LAPWATCHFMT", std::wstring(8200, L'x').c_str());
    else
        SetEnvironmentVariableW(L"LAPWATCHFMT", Pick(formats));
    StandInSetStatusBar(Chance(50) ? 1 : 0);
}

// One call of the stream, then the command-count property.
void MakeCall(Dll& dll, Arena& arena, Model& model) {
    CountChange change = COUNT_KEEPS;
    uint64_t kind = Below(100);
    if (kind < 40) change = KeyEventCall(dll, arena, model);
    else if (kind < 55) VariableCall(dll, arena);
    else if (kind < 62) VariableFunctionCall(dll, arena);
    else if (kind < 75) change = CommandCall(dll, arena, model, RandomCommandArguments());
    else if (kind < 77) change = CommandCall(dll, arena, model, Chance(50) ? L"/S" : L"/S!");
    else if (kind < 80) RestoreCall(dll, arena, model);
    else if (kind < 85) HelpCall(dll, arena);
    else if (kind < 93) StepClock(dll);
    else if (kind < 98) IdleCheck(dll, arena);
    else if (kind < 99) ChangeEnvironment();
    else Restart(dll, model);

    uint64_t count = ReadCount(dll, arena);
    if (change == COUNT_KEEPS)
        Check(count == model.count, "_cmdcount changed from " + std::to_string(model.count) + " to " + std::to_string(count));
    if (change == COUNT_MAY_RISE)
        Check(count == model.count || count == model.count + 1,
              "_cmdcount went from " + std::to_string(model.count) + " to " + std::to_string(count) + " at an Enter");
    model.count = count;
    for (const std::wstring& line : g_commands)
        Check(!line.empty() && line.size() <= 8191, "Command was handed a line of " + std::to_string(line.size()) + " characters");
    g_commands.clear();
    dll.boxes.Clear();
    dll.output.Clear();
}

bool ReadOptions(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (option == L"--long-answers") {
            g_soak.longAnswers = true;
            continue;
        }
        if (i + 1 == argc)
            return false;
        uint64_t value = _wcstoui64(argv[++i], nullptr, 10);
        if (option == L"--seed") g_soak.seed = value;
        else if (option == L"--calls") g_soak.calls = value;
        else return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!ReadOptions(argc, argv)) {
        fprintf(stderr, "usage: lapwatch_soak.exe [--seed S] [--calls N] [--long-answers]\n");
        return 2;
    }
    SetUnhandledExceptionFilter(ReportCrash);
    g_soak.random.seed(g_soak.seed);
    StandInSetVariable(L"_4ver", L"32");
    StandInSetVariable(L"_transient", L"0");
    StandInSetVariable(L"_pipe", L"0");
    SetEnvironmentVariableW(L"noloadmsg", L"1");
    StandInSetLongAnswers(g_soak.longAnswers ? 1 : 0);

    DWORD started = GetTickCount();
    {
        Dll dll;
        Arena arena;
        Model model;
        model.recentHost = !g_soak.longAnswers;
        Check(dll.plugin.Get<InitializePluginFn>("InitializePlugin")() == 0, "InitializePlugin failed");
        for (g_soak.call = 1; g_soak.call <= g_soak.calls; ++g_soak.call)
            MakeCall(dll, arena, model);
        --g_soak.call;
        dll.plugin.Get<ShutdownPluginFn>("ShutdownPlugin")(0);
    }
    printf("soak: %llu calls of seed %llu%s, 0 failures, %.1f s\n", static_cast<unsigned long long>(g_soak.call),
           static_cast<unsigned long long>(g_soak.seed), g_soak.longAnswers ? " with long answers" : "",
           (GetTickCount() - started) / 1000.0);
    return 0;
}
