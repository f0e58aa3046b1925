// Texts the plug-in hands to the shell, and the two it keeps on the heap.
#pragma once

#include "plugin.h"

// Copies text into a cleared buffer of the given size and has the shell
// expand it in place.
void ExpandInto(wchar_t* buffer, size_t chars, const wchar_t* text);

// Has the shell expand text (a SHELL_TEXT_BUFFER_CHARS buffer) in place with
// standard output and error on "nul", so that messages of the expansion are
// discarded; both handles are put back. The shell's result, or -1 for a
// null text.
int QuietExpand(wchar_t* text);

// Heap copy of text with exactly its length plus the terminator; null when
// no memory is available. FreeText accepts null.
wchar_t* DuplicateText(const wchar_t* text);
void FreeText(wchar_t* text);
