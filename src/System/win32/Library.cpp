// Run-time libraries on Windows: LoadLibraryW and the module that holds an address.
#include "System.Packages.hpp"

#include <string>
#include <windows.h>

namespace System {

void* OpenLibrary(const UnicodeString& Path) {
    if (Path.find(u'\0') != UnicodeString::npos) {
        throw EPackageError("cannot load a library whose path holds a NUL character");
    }
    const std::wstring Wide(Path.begin(), Path.end());
    HMODULE Library = LoadLibraryW(Wide.c_str());
    if (Library == nullptr) {
        throw EPackageError("cannot load the library (Windows error " +
                            std::to_string(GetLastError()) + ")");
    }
    return static_cast<void*>(Library);
}

void* LibrarySymbol(void* Library, const char* Name) {
    if (Library == nullptr || Name == nullptr) {
        return nullptr;
    }
    // The conversion from a function address is what GetProcAddress is for.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Library), Name));
}

bool CloseLibrary(void* Library) noexcept {
    return Library != nullptr && FreeLibrary(static_cast<HMODULE>(Library)) != FALSE;
}

void* ModuleOfAddress(const void* Address) noexcept {
    HMODULE Module = nullptr;
    const DWORD Flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (Address == nullptr ||
        GetModuleHandleExW(Flags, static_cast<LPCWSTR>(Address), &Module) == FALSE) {
        return nullptr;
    }
    return static_cast<void*>(Module);
}

} // namespace System
