// The settings, their defaults and the one owner of the slow command.
#include "settings.h"

#include "../plugin/shell_text.h"

#include <wchar.h>

Settings g_settings = {DEFAULT_SHOW_TIMER, DEFAULT_SLOW_SECONDS, DEFAULT_TIMER_COLORS, nullptr};

void RestoreDefaultSettings(void) {
    g_settings.timerColors = DEFAULT_TIMER_COLORS;
    g_settings.showTimer = DEFAULT_SHOW_TIMER;
    g_settings.slowSeconds = DEFAULT_SLOW_SECONDS;
    SetSlowCommand(nullptr);
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
