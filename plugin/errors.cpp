// The words that begin every error message: the plug-in's name and, inside a
// batch file, the file's name and line.
#include "errors.h"

#include "shell_text.h"

HANDLE StandardError(void) { return GetStdHandle(STD_ERROR_HANDLE); }

void WriteErrorPrefix(void) {
    Qprintf(StandardError(), L"%s plugin: ", PLUGIN_NAME);

    wchar_t buffer[SHELL_TEXT_BUFFER_CHARS];    // user text: the batch file's name
    ExpandInto(buffer, COUNT_OF(buffer), L"%_batch");
    if (buffer[0] == L'0')
        return;
    ExpandInto(buffer, COUNT_OF(buffer), L"%_batchname [%_batchline]  ");
    // Through "%s", never as a format: a batch name may hold a percent sign.
    Qprintf(StandardError(), L"%s", buffer);
}
