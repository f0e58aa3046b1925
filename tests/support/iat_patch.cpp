#include "iat_patch.h"

#include <string.h>

namespace {

template <typename T>
T* At(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

// Calls visit(dll, name, slot) for each entry of module's import table, with
// name null for an import by ordinal, until visit returns true. Returns that
// entry's slot, or null.
template <typename Visit>
void** ForEachImport(HMODULE module, Visit visit) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    auto* nt = At<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return nullptr;
    for (auto* desc = At<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); desc->Name; ++desc) {
        const char* dll = At<char>(module, desc->Name);
        auto* names = At<IMAGE_THUNK_DATA>(module, desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(module, desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            const char* name = nullptr;
            if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                name = reinterpret_cast<char*>(
                    At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData))->Name);
            auto** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (visit(dll, name, slot))
                return slot;
        }
    }
    return nullptr;
}

void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    return ForEachImport(module, [&](const char* importDll, const char* name, void**) {
        return name && _stricmp(importDll, dll) == 0 && strcmp(name, function) == 0;
    });
}

}  // namespace

std::vector<ImportedName> ListImports(HMODULE module) {
    std::vector<ImportedName> imports;
    ForEachImport(module, [&](const char* dll, const char* name, void**) {
        imports.push_back({dll, name ? name : "", name == nullptr});
        return false;
    });
    return imports;
}

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    void** slot = FindImportSlot(module, dll, function);
    if (!slot)
        return nullptr;
    DWORD oldProtect = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &oldProtect);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(*slot), oldProtect, &oldProtect);
    return previous;
}

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement)
    : module_(module), dll_(dll), function_(function),
      original_(PatchImport(module, dll, function, replacement)) {}

ImportPatch::~ImportPatch() {
    if (original_)
        PatchImport(module_, dll_, function_, original_);
}
