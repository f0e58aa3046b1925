// Internal state and helpers shared by the stand-in shell library's sources.
#pragma once

#include "standin.h"

#include "host/shell_buffers.h"

#include <memory>
#include <string>
#include <vector>

namespace engine {

enum {
    RESULT_BUFFER_CHARS = SHELL_TEXT_BUFFER_CHARS,     // a variable's or command's text buffer
    MAX_RESULT_CHARS = RESULT_BUFFER_CHARS - 1,
    USAGE_BUFFER_CHARS = SHELL_USAGE_BUFFER_CHARS,
};

// One name of a plug-in's function list and the export behind it.
enum EntryKind { ENTRY_VARIABLE, ENTRY_FUNCTION, ENTRY_COMMAND, ENTRY_KEY };
struct PluginEntry {
    std::wstring name;              // as listed, without the '@' or '*' prefix
    EntryKind kind;
    FARPROC proc;                   // null when the export is missing
};

struct LoadedPlugin {
    HMODULE module;
    std::wstring path;
    // The module's file name, written into the information record: the
    // record keeps pointing at it while the plug-in is loaded.
    std::shared_ptr<const std::wstring> moduleName;
    std::wstring name;              // from the information record
    std::vector<PluginEntry> entries;
    bool initialized;               // InitializePlugin was called
    bool started;                   // ... and returned 0
};

std::vector<LoadedPlugin>& Plugins();
// The export behind the first listed name of this kind (case does not
// matter), or null.
FARPROC FindPluginEntry(const std::wstring& name, EntryKind kind);

// An export as the function type it really has.
template <typename Fn> Fn As(FARPROC proc) { return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc)); }

// Output: writes text to a handle, honouring capture mode. `stream` says
// which captured stream a handle that is both stdout and stderr belongs to.
void WriteText(HANDLE handle, const std::wstring& text, int stream);
void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);
std::wstring FormatV(const wchar_t* format, va_list args);

// Shell text buffers: a writable RESULT_BUFFER_CHARS buffer holding `text`
// (cut to MAX_RESULT_CHARS), and the text in a buffer a plug-in handed over.
std::vector<wchar_t> ResultBuffer(const std::wstring& text);
std::wstring BufferText(const wchar_t* buffer);

// Variables and expansion.
std::wstring ExpandText(const std::wstring& text);
bool GetShellVariable(const std::wstring& name, std::wstring* value);
void SetShellVariable(const std::wstring& name, const wchar_t* value);
std::wstring Lower(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

// Batch parameters (%0, %1, ...) of the batch files now running, innermost last.
std::vector<std::vector<std::wstring>>& BatchArguments();

// Conditions ("[not] A op B"). NextWord reads the next blank-separated word
// at *pos (quoted parts kept whole, quotes included). ReadCondition reads a
// condition's words at *pos into *result; false when they do not form one.
// IfFunction is %@if[condition,then,else]: false, with a message, when the
// condition is malformed.
std::wstring NextWord(const std::wstring& text, size_t* pos);
bool ReadCondition(const std::wstring& text, size_t* pos, bool* result);
bool IfFunction(const std::wstring& argument, std::wstring* value);

// Each source's part of StandInReset.
void ResetCapture();
void ResetVariables();
void ResetExecutor();
void ResetStatusBar();

// Runs one line as typed at the prompt or read from a batch file.
int ExecuteLine(const std::wstring& line);

// Ctrl+C: the event the console's control handler sets; whether it is set;
// a sleep that ends early when it is (false then); and taking it back once
// the line it stopped has ended (true when it was set).
HANDLE InterruptEvent();
bool Interrupted();
bool SleepUnlessInterrupted(DWORD milliseconds);
bool TakeInterrupt();

}  // namespace engine
