// The four settings, one row each:
//
//   X(field, kind, registry value, default, found, report label)
//
// field: the member of Settings (settings.h). kind: how the value is held,
// which saved values a load takes and how the report shows it:
//   MODE     the show-timer mode; a saved number of at most 0xFFFF
//   SECONDS  the slow threshold; any saved number
//   COMMAND  the slow command; a saved text of at most 8191 characters
//   COLORS   the timer colours; a saved colour pair (a byte, two nibbles
//            that differ)
// registry value: its name below SETTINGS_KEY. default: a plain literal, so
// that the help text can spell it. found: a value the load takes counts as
// saved settings found. report label: the settings report's line up to the
// value.
//
// The defaults, the registry's load and save, the settings report and the
// help text's default are all made from these rows, the way plugin/entries.h
// serves the exports and their help.
#pragma once

#include "../text/show_timer.h"

#define SHOW_TIMER_ROW(X) X(showTimer, MODE, L"ShowTimer", SHOW_TIMER_DEFAULT, true, L"Show timer . . . . . . . . /B : ")
#define SLOW_SECONDS_ROW(X) X(slowSeconds, SECONDS, L"SlowCommandTime", 10, true, L"Slow commands take . . . . /T : ")
#define SLOW_COMMAND_ROW(X) X(slowCommand, COMMAND, L"SlowCommand", nullptr, false, L"Slow-Command . . . . . . . ")
#define TIMER_COLORS_ROW(X) X(timerColors, COLORS, L"TextBarColors", 0x1F, false, L"Timer text colors  . . . . /C : ")

// Every setting, in the order the registry holds, loads and saves them.
#define LAPWATCH_SETTINGS(X) SHOW_TIMER_ROW(X) SLOW_SECONDS_ROW(X) SLOW_COMMAND_ROW(X) TIMER_COLORS_ROW(X)

// A row's report label, and its default as wide text.
#define SETTING_LABEL_OF(field, kind, value, initial, found, label) label
#define SETTING_DEFAULT_TEXT_OF(field, kind, value, initial, found, label) L"" #initial
