// The timer text of a timed line: the format of LAPWATCHFMT, or the default
// one, expanded by the shell with its output discarded.
#pragma once

#include "../plugin/plugin.h"

#define DEFAULT_TIMER_FORMAT L" [%_cmdcount]  %_cmdtime "

// Makes the timer text in text, a buffer of SHELL_TEXT_BUFFER_CHARS
// characters. The shell calls back into the plug-in's own variables here,
// which read the timing state just stopped.
void MakeTimerText(wchar_t* text);
