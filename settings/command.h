// Shared pieces of the lapwatch command, its settings report and the help
// entry points.
#pragma once

#include <stddef.h>

// True when the first chars characters of a and b are equal, or both end
// before that at the same place, ignoring the case of the letters a to z.
int EqualNoCaseN(const wchar_t* a, const wchar_t* b, size_t chars);

// Whole-text comparison ignoring the case of the letters a to z.
int EqualNoCase(const wchar_t* a, const wchar_t* b);

// Writes the five-line report of the current settings to standard output.
void WriteSettingsReport(void);
