// The one way the plug-in writes an error: the error prefix, then the
// message through the shell's Qprintf on the standard error handle.
#pragma once

#include "plugin.h"

// The standard error handle as it is now (fetched for each write, since the
// quiet expansion replaces it for a while).
HANDLE StandardError(void);

// Writes "Lapwatch plugin: " to standard error, followed inside a batch file
// by the batch name and line.
void WriteErrorPrefix(void);

// Writes the error prefix, then the message: a Qprintf format and its values.
template <typename... Values>
void WriteError(const wchar_t* format, Values... values) {
    WriteErrorPrefix();
    Qprintf(StandardError(), format, values...);
}
