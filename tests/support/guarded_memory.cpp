#include "guarded_memory.h"

#include <wchar.h>

namespace {
size_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
}  // namespace

GuardedMemory::GuardedMemory(size_t bytes) {
    size_t page = PageSize();
    size_t usable = (bytes + page - 1) / page * page;
    base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, usable + page, MEM_RESERVE | MEM_TOP_DOWN, PAGE_NOACCESS));
    if (base_)
        VirtualAlloc(base_, usable, MEM_COMMIT, PAGE_READWRITE);
    end_ = base_ ? base_ + usable : nullptr;
}

GuardedMemory::~GuardedMemory() {
    if (base_)
        VirtualFree(base_, 0, MEM_RELEASE);
}

wchar_t* GuardedMemory::Text(const std::wstring& text) const {
    wchar_t* at = Tail<wchar_t>(text.size() + 1);
    wmemcpy(at, text.c_str(), text.size() + 1);
    return at;
}

wchar_t* GuardedMemory::Buffer(size_t chars, wchar_t fill) const {
    wchar_t* at = Tail<wchar_t>(chars);
    wmemset(at, fill, chars);
    return at;
}
