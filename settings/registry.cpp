// The settings' registry form: Software\RUDeviruv\Lapwatch below the current
// user's or the local machine's root.
#include "settings.h"

#include "../text/color_pair.h"

#include <wchar.h>

// The values below SETTINGS_KEY.
#define VALUE_SHOW_TIMER L"ShowTimer"
#define VALUE_SLOW_SECONDS L"SlowCommandTime"
#define VALUE_SLOW_COMMAND L"SlowCommand"
#define VALUE_TIMER_COLORS L"TextBarColors"

enum {
    DWORD_BYTES = sizeof(DWORD),
    SLOW_COMMAND_READ_BYTES = SHELL_TEXT_BUFFER_CHARS * sizeof(wchar_t),
};

// The bits above a 16-bit value. Preset into the 16-bit values before they
// are read, so that a query returning fewer than four bytes leaves some of
// them set, which the range tests then reject.
static const DWORD ABOVE_16_BITS = 0xFFFF0000u;

// Reads a REG_DWORD value into value, which holds preset first. 0, or 1
// when the value is missing, unreadable or of another type.
static int QueryDword(HKEY key, const wchar_t* name, DWORD preset, DWORD* value) {
    DWORD type = 0;
    DWORD bytes = DWORD_BYTES;
    *value = preset;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? 0 : 1;
}

// Reads the slow command into a zero-filled buffer, which ends a text stored
// without its terminator. Data that fills the whole buffer with no
// terminator loses its last character to one, so the text is never read
// past the buffer.
static void LoadSlowCommand(HKEY key) {
    wchar_t text[SHELL_TEXT_BUFFER_CHARS];
    wmemset(text, L'\0', COUNT_OF(text));
    DWORD type = 0;
    DWORD bytes = SLOW_COMMAND_READ_BYTES;
    LONG rc = RegQueryValueExW(key, VALUE_SLOW_COMMAND, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return;
    text[SHELL_TEXT_BUFFER_CHARS - 1] = L'\0';
    SetSlowCommand(text);
}

int LoadSettings(HKEY root) {
    int result = 1;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;

    DWORD value = 0;
    if (QueryDword(key, VALUE_SHOW_TIMER, ABOVE_16_BITS, &value) == 0 && (value & ABOVE_16_BITS) == 0) {
        g_settings.showTimer = value;
        result = 0;
    }
    if (QueryDword(key, VALUE_SLOW_SECONDS, 0, &value) == 0) {
        g_settings.slowSeconds = value;
        result = 0;
    }
    LoadSlowCommand(key);
    if (QueryDword(key, VALUE_TIMER_COLORS, ABOVE_16_BITS, &value) == 0 && IsValidColorPair(value))
        g_settings.timerColors = static_cast<uint16_t>(value);

    RegCloseKey(key);
    return result;
}

// 0, or 1 when the value was not written.
static int SetDword(HKEY key, const wchar_t* name, DWORD value) {
    LONG rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), DWORD_BYTES);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

// Stores text with its terminator. 0, or 1 when it was not written.
static int SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    size_t chars = wcslen(text) + 1;
    DWORD bytes = static_cast<DWORD>(chars) * static_cast<DWORD>(sizeof(wchar_t));
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

int SaveSettings(HKEY root) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;

    // Every value is written, in this order, even after one has failed.
    const wchar_t* command = g_settings.slowCommand ? g_settings.slowCommand : L"";
    int failures = SetDword(key, VALUE_SHOW_TIMER, g_settings.showTimer);
    failures += SetDword(key, VALUE_SLOW_SECONDS, g_settings.slowSeconds);
    failures += SetText(key, VALUE_SLOW_COMMAND, command);
    failures += SetDword(key, VALUE_TIMER_COLORS, g_settings.timerColors);

    RegCloseKey(key);
    return failures == 0 ? 0 : 2;
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
