// The settings' registry form: Software\RUDeviruv\Lapwatch below the current
// user's or the local machine's root.
#include "settings.h"

#include "../text/color_pair.h"

#include <wchar.h>

enum {
    DWORD_BYTES = sizeof(DWORD),
    SLOW_COMMAND_READ_BYTES = TEXT_BUFFER_CHARS * sizeof(wchar_t),   // 16384 offered
};

// Preset for the 16-bit values: a query that returns fewer than four bytes
// leaves high bits set, which the range tests then reject.
static const DWORD UNREAD_PRESET = 0xFFFF0000u;

static int QueryDword(HKEY key, const wchar_t* name, DWORD preset, DWORD* value) {
    DWORD type = 0;
    DWORD bytes = DWORD_BYTES;
    *value = preset;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

// Reads the slow command into a zero-filled buffer, which ends a text stored
// without its terminator. Data of exactly 16384 bytes and no terminator
// fills the whole buffer: its last character is overwritten, so the text is
// cut to 8191 characters and never read past the buffer.
static void LoadSlowCommand(HKEY key) {
    wchar_t text[TEXT_BUFFER_CHARS];
    wmemset(text, L'\0', COUNT_OF(text));
    DWORD type = 0;
    DWORD bytes = SLOW_COMMAND_READ_BYTES;
    LONG rc = RegQueryValueExW(key, L"SlowCommand", nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return;
    text[TEXT_BUFFER_CHARS - 1] = L'\0';
    SetSlowCommand(text);
}

int LoadSettings(HKEY root) {
    int result = 1;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;

    DWORD value = 0;
    if (QueryDword(key, L"ShowTimer", UNREAD_PRESET, &value) && (value & 0xFFFF0000u) == 0) {
        g_settings.showTimer = value;
        result = 0;
    }
    if (QueryDword(key, L"SlowCommandTime", 0, &value)) {
        g_settings.slowSeconds = value;
        result = 0;
    }
    LoadSlowCommand(key);
    if (QueryDword(key, L"TextBarColors", UNREAD_PRESET, &value) && IsValidColorPair(value))
        g_settings.timerColors = static_cast<uint16_t>(value);

    RegCloseKey(key);
    return result;
}

static int SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), DWORD_BYTES) ==
           ERROR_SUCCESS;
}

static int SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    size_t chars = wcslen(text) + 1;
    DWORD bytes = static_cast<DWORD>(chars) * static_cast<DWORD>(sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

int SaveSettings(HKEY root) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;

    int result = 0;
    const wchar_t* command = g_settings.slowCommand ? g_settings.slowCommand : L"";
    if (!SetDword(key, L"ShowTimer", g_settings.showTimer))
        result = 2;
    if (!SetDword(key, L"SlowCommandTime", g_settings.slowSeconds))
        result = 2;
    if (!SetText(key, L"SlowCommand", command))
        result = 2;
    if (!SetDword(key, L"TextBarColors", g_settings.timerColors))
        result = 2;

    RegCloseKey(key);
    return result;
}

HKEY ScopeRoot(enum SettingsScope scope) {
    return scope == SCOPE_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

const wchar_t* ScopeName(enum SettingsScope scope) { return scope == SCOPE_LOCAL_MACHINE ? L"HKLM" : L"HKCU"; }

enum SettingsScope LoadSavedSettings(void) {
    static const enum SettingsScope ORDER[] = {SCOPE_CURRENT_USER, SCOPE_LOCAL_MACHINE};
    for (enum SettingsScope scope : ORDER) {
        if (LoadSettings(ScopeRoot(scope)) == 0)
            return scope;
    }
    return SCOPE_NONE;
}
