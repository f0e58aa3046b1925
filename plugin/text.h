// Wide-text helpers with no dependency beyond the C library.
#pragma once

#include <stddef.h>

// Upper-cases the ASCII letters a to z in place; every other character stays.
void UpperCaseAscii(wchar_t* text);

// Bounded copy: at most chars - 1 characters and the terminator. A null
// source gives the empty text.
void CopyText(wchar_t* target, size_t chars, const wchar_t* source);
