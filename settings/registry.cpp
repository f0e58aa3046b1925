// The settings' registry form: Software\RUDeviruv\Lapwatch below the current
// user's or the local machine's root.
#include "settings.h"

#include "../text/color_pair.h"

#include <wchar.h>

enum {
    DWORD_BYTES = sizeof(DWORD),
    SLOW_COMMAND_READ_BYTES = SHELL_TEXT_BUFFER_CHARS * sizeof(wchar_t),
};

// The bits above a 16-bit value. Preset into the 16-bit values before they
// are read, so that a query returning fewer than four bytes leaves some of
// them set, which the range tests then reject.
static const DWORD ABOVE_16_BITS = 0xFFFF0000u;

// Reads a REG_DWORD value into value, which holds preset first. False when
// the value is missing, unreadable or of another type.
static bool QueryDword(HKEY key, const wchar_t* name, DWORD preset, DWORD* value) {
    DWORD type = 0;
    DWORD bytes = DWORD_BYTES;
    *value = preset;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

// Reads the slow command into a zero-filled buffer, which ends a text stored
// without its terminator. Data that fills the whole buffer with no
// terminator loses its last character to one, so the text is never read
// past the buffer. The text goes to SetSlowCommand, the slow command's one
// owner, not into the member.
static bool LoadCOMMAND(HKEY key, const wchar_t* name, wchar_t* const*) {
    wchar_t text[SHELL_TEXT_BUFFER_CHARS];
    wmemset(text, L'\0', COUNT_OF(text));
    DWORD type = 0;
    DWORD bytes = SLOW_COMMAND_READ_BYTES;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    text[SHELL_TEXT_BUFFER_CHARS - 1] = L'\0';
    SetSlowCommand(text);
    return true;
}

static bool LoadMODE(HKEY key, const wchar_t* name, uint32_t* mode) {
    DWORD value = 0;
    if (!QueryDword(key, name, ABOVE_16_BITS, &value) || (value & ABOVE_16_BITS) != 0)
        return false;
    *mode = value;
    return true;
}

// A value stored with fewer than four bytes is taken with the missing high
// bytes as zero.
static bool LoadSECONDS(HKEY key, const wchar_t* name, uint32_t* seconds) {
    DWORD value = 0;
    if (!QueryDword(key, name, 0, &value))
        return false;
    *seconds = value;
    return true;
}

static bool LoadCOLORS(HKEY key, const wchar_t* name, uint16_t* colors) {
    DWORD value = 0;
    if (!QueryDword(key, name, ABOVE_16_BITS, &value) || !IsValidColorPair(value))
        return false;
    *colors = static_cast<uint16_t>(value);
    return true;
}

// Every value is read, in the table's order; only some count as found.
int LoadSettings(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    bool found = false;
#define LOAD_SETTING(field, kind, value, initial, counts, label) \
    found |= Load##kind(key, value, &g_settings.field) && (counts);
    LAPWATCH_SETTINGS(LOAD_SETTING)
    RegCloseKey(key);
    return found ? 0 : 1;
}

// Stores a number as a REG_DWORD; true when it was written.
static bool SaveValue(HKEY key, const wchar_t* name, DWORD number) {
    LONG rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), DWORD_BYTES);
    return rc == ERROR_SUCCESS;
}

// Stores a text with its terminator; no slow command is the empty text.
static bool SaveValue(HKEY key, const wchar_t* name, const wchar_t* command) {
    const wchar_t* text = command ? command : L"";
    size_t chars = wcslen(text) + 1;
    DWORD bytes = static_cast<DWORD>(chars) * static_cast<DWORD>(sizeof(wchar_t));
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    return rc == ERROR_SUCCESS;
}

// Every value is written, in the table's order, even after one has failed.
int SaveSettings(HKEY root) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    bool written = true;
#define SAVE_SETTING(field, kind, value, initial, counts, label) written &= SaveValue(key, value, g_settings.field);
    LAPWATCH_SETTINGS(SAVE_SETTING)
    RegCloseKey(key);
    return written ? 0 : 2;
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
