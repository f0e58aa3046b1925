// The settings report that ends every run of the lapwatch command.
#include "settings_report.h"

#include "../settings/settings.h"
#include "../text/color_pair.h"

namespace {

// The name of each show-timer mode 0 to 5; the last for any other.
constexpr const wchar_t* MODE_NAMES[] = {
    L"Off",
    L"Status bar",
    L"Text",
    L"Both status bar and text",
    L"Default",
    L"Default (status bar or text)",
    L"Unknown",
};
constexpr uint32_t MODE_UNKNOWN = COUNT_OF(MODE_NAMES) - 1;

// The console's sixteen colours, by index.
constexpr const wchar_t* COLOR_NAMES[] = {
    L"black", L"blue", L"green", L"cyan",
    L"red", L"magenta", L"yellow", L"white",
    L"bright black", L"bright blue", L"bright green", L"bright cyan",
    L"bright red", L"bright magenta", L"bright yellow", L"bright white",
};
static_assert(COUNT_OF(COLOR_NAMES) == 16, "one name for each of a nibble's values");

#define COLOR_JOINT L" on "

constexpr size_t LongestColorName(void) {
    size_t longest = 0;
    for (const wchar_t* name : COLOR_NAMES) {
        size_t length = 0;
        while (name[length] != L'\0')
            length++;
        longest = length > longest ? length : longest;
    }
    return longest;
}

// The longest description, "Bright magenta on bright magenta", and its
// terminator.
constexpr size_t COLOR_DESCRIPTION_CHARS = 2 * LongestColorName() + COUNT_OF(COLOR_JOINT);

// "Bright white on blue" for 0x1F: foreground on background, capitalised.
void DescribeColors(uint32_t colors, wchar_t* text, size_t chars) {
    CopyText(text, chars, COLOR_NAMES[ForegroundOf(colors)]);
    AppendText(text, chars, COLOR_JOINT);
    AppendText(text, chars, COLOR_NAMES[BackgroundOf(colors)]);
    text[0] = UpperAscii(text[0]);
}

}  // namespace

// The start of a setting's line of the report, up to its value: a format
// of its own (no label holds a '%').
#define REPORT_LINE(row) L"   " row(SETTING_LABEL_OF)

void WriteSettingsReport(void) {
    Printf(L"\r\n%s v%u.%u.%u settings:\r\n\r\n", PLUGIN_NAME, PLUGIN_MAJOR, PLUGIN_MINOR, PLUGIN_BUILD);

    uint32_t mode = g_settings.showTimer < MODE_UNKNOWN ? g_settings.showTimer : MODE_UNKNOWN;
    Printf(REPORT_LINE(SHOW_TIMER_ROW) L"%s\r\n", MODE_NAMES[mode]);

    wchar_t colors[COLOR_DESCRIPTION_CHARS];
    DescribeColors(g_settings.timerColors, colors, COUNT_OF(colors));
    Printf(REPORT_LINE(TIMER_COLORS_ROW) L"%s\r\n", colors);

    if (g_settings.slowSeconds != 0)
        Printf(REPORT_LINE(SLOW_SECONDS_ROW) L"%u second%s or more\r\n", g_settings.slowSeconds,
               g_settings.slowSeconds == 1 ? L"" : L"s");
    else
        QPuts(REPORT_LINE(SLOW_SECONDS_ROW) L"0 seconds (disabled)\r\n");

    Printf(REPORT_LINE(SLOW_COMMAND_ROW) L"%s\r\n",
           g_settings.slowCommand != nullptr ? g_settings.slowCommand : L"Not defined");
}
