// The real plug-in, started under the stand-in shell library with a fake
// clock and clean saved settings: the shell's view of it.
#pragma once

#include "harness.h"
#include "key_records.h"

#include <string>

// Settings to save below the current user's key before start-up; the
// all-ones values mean "not saved".
struct SavedSettings {
    DWORD showTimer = 0xFFFFFFFF;
    DWORD slowSeconds = 0xFFFFFFFF;
    const wchar_t* slowCommand = nullptr;
};

struct PluginSession {
    using Saved = SavedSettings;

    explicit PluginSession(const Saved& saved = Saved(), const wchar_t* hostVersion = L"32");
    ~PluginSession();

    // A key event in a poisoned record (key_records.h).
    int Key(int code, const wchar_t* name, const wchar_t* line);
    void Enter(const wchar_t* line) { Key(KEY_CODE_ENTER, L"Enter", line); }
    void Prompt() { Key(KEY_CODE_NONE, nullptr, nullptr); }
    // Runs a line of `seconds` ticks: Enter, the clock advances, prompt.
    void TimedLine(const wchar_t* line, uint64_t ticks);

    std::wstring Variable(const char* name);
    int Lapwatch(const wchar_t* arguments);

    CleanSettingsKey cleanKey;
    LoadedPlugin plugin;
    FakeClock clock;
    PoisonedKeyEvent record;
    int started = -1;
};

// Saved settings with only the show-timer mode.
SavedSettings ShowTimerMode(DWORD mode);

// An environment variable set for the life of the object.
struct ScopedEnvironment {
    ScopedEnvironment(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironment();
    const wchar_t* name;
};
