// Memory for texts and records handed to the DLL under test, placed as high
// in the address space as the system gives (above 4 GiB in a 64-bit
// process) and ending exactly where a no-access page begins: a pointer cut to
// 32 bits, or a read or write one element past the end, faults at once.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>
#include <string>

struct GuardedMemory {
    // Room for `bytes`, rounded up to whole pages, then one reserved page.
    explicit GuardedMemory(size_t bytes);
    ~GuardedMemory();
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    // `count` elements of T whose last one ends at the no-access page.
    template <typename T> T* Tail(size_t count) const {
        return reinterpret_cast<T*>(end_ - count * sizeof(T));
    }
    // A copy of text with its terminator as the last element before the page.
    wchar_t* Text(const std::wstring& text) const;
    // A buffer of `chars` wide characters, each set to `fill`.
    wchar_t* Buffer(size_t chars, wchar_t fill = L'\0') const;

private:
    BYTE* base_;
    BYTE* end_;
};

const uintptr_t kFourGiB = uintptr_t{1} << 16 << 16;
