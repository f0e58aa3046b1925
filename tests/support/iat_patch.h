// Replaces entries of a loaded module's import address table, so that tests
// can put a fake behind a Windows function that the module imports by name
// (the clock, CreateFileW, registry writes, allocation, MessageBoxW) without
// the module being built differently.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One entry of a module's import table.
struct ImportedName {
    std::string dll;               // as the table names it, e.g. "KERNEL32.dll"
    std::string function;          // empty for an import by ordinal
    bool byOrdinal;
};
std::vector<ImportedName> ListImports(HMODULE module);

// Points module's import of dll!function at replacement. Returns the previous
// pointer, or null when the module does not import that function.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Restores one patched import when it goes out of scope.
struct ImportPatch {
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Applied() const { return original_ != nullptr; }
    void* Original() const { return original_; }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    void* original_;
};

// The system's own entry point, for fakes that pass most calls through.
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(dll), name)));
}
