// Key event records as a shell may hand them over: built byte by byte at
// this architecture's offsets (architecture.h), every byte the plug-in must
// not read (the four unread fields, the edit position, the redraw flag and
// the padding) set to poison, and the record ending where a no-access page
// begins. A field read at a wrong offset yields a poison pointer, which
// faults, or a poison key code, which is no key at all.
#pragma once

#include "guarded_memory.h"

#include "host/takecmd.h"

const BYTE kPoisonByte = 0xA5;

struct PoisonedKeyEvent {
    PoisonedKeyEvent();
    // Rebuilds the one record and returns it: poison, then the key code,
    // the command line and the key name at their offsets.
    KeyEvent* Build(int code, const wchar_t* line, const wchar_t* name);

    GuardedMemory memory;
    BYTE* bytes;
};
