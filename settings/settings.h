// The settings, their defaults, and their registry form. Each setting's
// facts are one row of setting_table.h.
#pragma once

#include "setting_table.h"

#include "../plugin/plugin.h"
#include "../text/option_scan.h"

#include <stdint.h>

#define SETTINGS_KEY L"Software\\RUDeviruv\\Lapwatch"

// The members in the order of the table's rows.
typedef struct Settings {
    uint32_t showTimer;            // show-timer mode, SHOW_TIMER_* bits
    uint32_t slowSeconds;          // slow threshold; 0 disables the slow command
    wchar_t* slowCommand;          // heap text, or null for none
    uint16_t timerColors;          // console attribute: fg low nibble, bg next
} Settings;

extern Settings g_settings;

// The defaults of the table, and no slow command.
void RestoreDefaultSettings(void);

// Replaces the slow command with a heap copy of text; null or empty text
// leaves none. 0, or 1 when no memory was available (none is left).
int SetSlowCommand(const wchar_t* text);

// Applies what one run of the lapwatch command asked for, each value only
// when given: the show-timer mode, the timer colours, the slow threshold,
// then the slow command ("-" removes it).
void ApplySettingChanges(const PendingValues* pending);

void ShutdownSettings(void);

// 0 settings found, 1 not found. Applies every acceptable value.
int LoadSettings(HKEY root);

// 0 all written, 1 key not created or opened, 2 a value not written.
int SaveSettings(HKEY root);

// Loads the current user's saved settings, else the local machine's, which
// are read only when the user has none. Returns where settings were found,
// or SCOPE_NONE.
enum SettingsScope LoadSavedSettings(void);

// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, and "HKCU" or "HKLM", for a scope
// other than SCOPE_NONE.
HKEY ScopeRoot(enum SettingsScope scope);
const wchar_t* ScopeName(enum SettingsScope scope);
