// The shell's status bar, reached through its "STATUSBAR" request.
#pragma once

#include "../plugin/plugin.h"

// Sends text to the status bar; true when the status bar shows it.
bool SendToStatusBar(wchar_t* text);
