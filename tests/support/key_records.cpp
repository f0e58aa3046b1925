#include "key_records.h"

#include "architecture.h"

#include <string.h>

PoisonedKeyEvent::PoisonedKeyEvent() : memory(kArch.keyEventSize), bytes(memory.Tail<BYTE>(kArch.keyEventSize)) {}

KeyEvent* PoisonedKeyEvent::Build(int code, const wchar_t* line, const wchar_t* name) {
    memset(bytes, kPoisonByte, kArch.keyEventSize);
    memcpy(bytes, &code, sizeof code);
    memcpy(bytes + kArch.keyEventCommandLineOffset, &line, sizeof line);
    memcpy(bytes + kArch.keyEventKeyNameOffset, &name, sizeof name);
    return reinterpret_cast<KeyEvent*>(bytes);
}
