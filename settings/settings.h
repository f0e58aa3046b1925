// The four settings and their registry form.
#pragma once

#include "../plugin/plugin.h"
#include "color_pair.h"
#include <stdint.h>

enum {
    SHOW_TIMER_STATUS_BAR = 0x1,   // send the text to the status bar
    SHOW_TIMER_TEXT = 0x2,         // draw the text on the console
    SHOW_TIMER_FALLBACK = 0x4,     // draw it when the status bar fails
};

#define DEFAULT_SHOW_TIMER 5u
#define DEFAULT_SLOW_SECONDS 10u
#define DEFAULT_TIMER_COLORS 0x1F

#define SETTINGS_KEY L"Software\\RUDeviruv\\Lapwatch"

typedef struct Settings {
    uint32_t showTimer;            // show-timer mode, bits as above
    uint32_t slowSeconds;          // slow threshold; 0 disables the slow command
    uint16_t timerColors;          // console attribute: fg low nibble, bg next
    wchar_t* slowCommand;          // heap text, or null for none
} Settings;

extern Settings g_settings;

// Show-timer mode 5, threshold 10, colours 0x1F, no slow command.
void RestoreDefaultSettings(void);

// Replaces the slow command with a heap copy of text; null or empty text
// leaves none. 0, or 1 when no memory was available (none is left).
int SetSlowCommand(const wchar_t* text);

// 0 settings found, 1 not found. Applies every acceptable value.
int LoadSettings(HKEY root);

// 0 all written, 1 key not created or opened, 2 a value not written.
int SaveSettings(HKEY root);
