// The tokenizer's one message, through the shell's output functions.
#include "tokenizer.h"

#include "../plugin/plugin.h"

void ReportArgumentOverflow(int slot) {
    WriteErrorPrefix();
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", slot, MAX_ARG_LEN);
}
