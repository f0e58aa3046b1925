// The settings, their defaults and the one owner of the slow command.
#include "settings.h"

#include "../plugin/shell_text.h"

#include <wchar.h>

#define DEFAULT_OF(field, kind, value, initial, found, label) .field = (initial),
static const Settings DEFAULT_SETTINGS = {LAPWATCH_SETTINGS(DEFAULT_OF)};

Settings g_settings = DEFAULT_SETTINGS;

// The default slow command is none: the one held is freed first.
void RestoreDefaultSettings(void) {
    SetSlowCommand(nullptr);
    g_settings = DEFAULT_SETTINGS;
}

int SetSlowCommand(const wchar_t* text) {
    FreeText(g_settings.slowCommand);
    g_settings.slowCommand = nullptr;
    if (!text || !text[0])
        return 0;
    g_settings.slowCommand = DuplicateText(text);
    return g_settings.slowCommand ? 0 : 1;
}

void ApplySettingChanges(const PendingValues* pending) {
    if (pending->hasShowTimer)
        g_settings.showTimer = pending->showTimer;
    if (pending->hasColors)
        g_settings.timerColors = static_cast<uint16_t>(pending->colors);
    if (pending->hasSlowSeconds)
        g_settings.slowSeconds = pending->slowSeconds;
    if (pending->slowCommand != nullptr)
        SetSlowCommand(wcscmp(pending->slowCommand, L"-") == 0 ? nullptr : pending->slowCommand);
}

void ShutdownSettings(void) { SetSlowCommand(nullptr); }
