// The first word of a command line, as _lastcmd reports it.
#pragma once

#include "sizes.h"

// Writes the first word of text into word (SHELL_TEXT_MAX_CHARS + 1
// characters): leading white space skipped, double quotes kept and toggling
// the quoted state, one leading at sign dropped, the word ended by white
// space outside quotes, characters past SHELL_TEXT_MAX_CHARS dropped.
// Returns the word's length. text must not be null.
size_t ExtractFirstWord(const wchar_t* text, wchar_t* word);
