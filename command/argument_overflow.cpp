// The tokenizer's one message, through the shell's output functions.
#include "../plugin/errors.h"
#include "../text/tokenizer.h"

void ReportArgumentOverflow(int slot) {
    WriteError(L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", slot, int{TEXT_BUFFER_CHARS});
}
