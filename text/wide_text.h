// Wide-text helpers with no dependency beyond the C library.
#pragma once

#include <stddef.h>

// Bounded copy: at most chars - 1 characters and the terminator. A null
// source gives the empty text.
void CopyText(wchar_t* target, size_t chars, const wchar_t* source);

// Appends source to the text in target, bounded by the target's size.
void AppendText(wchar_t* target, size_t chars, const wchar_t* source);

// The letters a to z upper-cased; every other character as it is. The one
// case mapping of the plug-in: commands, options and messages compare and
// upper-case these letters only.
wchar_t UpperAscii(wchar_t c);

// Upper-cases the letters a to z of text in place.
void UpperCaseAscii(wchar_t* text);

// Whole-text comparison ignoring the case of the letters a to z.
bool IsEqualNoCase(const wchar_t* a, const wchar_t* b);

// True when the first chars characters of a and b are equal, or both end
// before that at the same place, ignoring the case of the letters a to z.
bool IsEqualNoCaseN(const wchar_t* a, const wchar_t* b, size_t chars);

// True when text is not null and holds a character other than white space.
bool IsNonBlank(const wchar_t* text);
