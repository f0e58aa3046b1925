#include "plugin_session.h"

#include <vector>

namespace {
void SaveAndSetShell(const SavedSettings& saved, const wchar_t* hostVersion) {
    CleanSettingsKey::Remove();
    if (saved.showTimer != 0xFFFFFFFF)
        WriteDword(HKEY_CURRENT_USER, L"ShowTimer", saved.showTimer);
    if (saved.slowSeconds != 0xFFFFFFFF)
        WriteDword(HKEY_CURRENT_USER, L"SlowCommandTime", saved.slowSeconds);
    if (saved.slowCommand) {
        std::wstring text = saved.slowCommand;
        WriteRaw(HKEY_CURRENT_USER, L"SlowCommand", REG_SZ, text.c_str(),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    StandInSetVariable(L"_4ver", hostVersion);
    StandInSetVariable(L"_transient", L"0");
    StandInSetVariable(L"_pipe", L"0");
}
}  // namespace

PluginSession::PluginSession(const Saved& saved, const wchar_t* hostVersion)
    : cleanKey(), plugin(), clock(plugin.module) {
    SaveAndSetShell(saved, hostVersion);
    SetEnvironmentVariableW(L"noloadmsg", L"1");
    auto init = plugin.Get<InitializePluginFn>("InitializePlugin");
    started = init ? init() : -1;
    SetEnvironmentVariableW(L"noloadmsg", nullptr);
}

PluginSession::~PluginSession() {
    auto shutdown = plugin.Get<ShutdownPluginFn>("ShutdownPlugin");
    if (shutdown)
        shutdown(0);
    StandInSetVariable(L"_4ver", L"32");
}

int PluginSession::Key(int code, const wchar_t* name, const wchar_t* line) {
    std::wstring lineCopy = line ? line : L"";
    std::wstring nameCopy = name ? name : L"";
    KeyEvent* event = record.Build(code, line ? lineCopy.data() : nullptr, name ? nameCopy.data() : nullptr);
    return plugin.Get<KeyHandlerFn>("key")(event);
}

void PluginSession::TimedLine(const wchar_t* line, uint64_t ticks) {
    Enter(line);
    clock.Advance(ticks);
    Prompt();
}

std::wstring PluginSession::Variable(const char* name) {
    std::vector<wchar_t> buffer(8192, L'\0');
    plugin.Get<VariableFn>(name)(buffer.data());
    return buffer.data();
}

int PluginSession::Lapwatch(const wchar_t* arguments) {
    std::vector<wchar_t> text(arguments, arguments + wcslen(arguments) + 1);
    return plugin.Get<CommandFn>("lapwatch")(text.data());
}

SavedSettings ShowTimerMode(DWORD mode) {
    SavedSettings saved;
    saved.showTimer = mode;
    return saved;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name(name) {
    SetEnvironmentVariableW(name, value);
}
ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name, nullptr); }
