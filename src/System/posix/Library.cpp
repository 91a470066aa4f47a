// Run-time libraries on POSIX: dlopen and dladdr.
#include "System.Packages.hpp"
#include "System.SysUtils.hpp"

#include <dlfcn.h>

namespace System {

void* OpenLibrary(const UnicodeString& Path) {
    if (Path.find(u'\0') != UnicodeString::npos) {
        throw EPackageError("cannot load a library whose path holds a NUL character");
    }
    // The path's bytes as Sysutils::FileNameToString read them, so that any file name loads.
    std::string Narrow;
    if (!Sysutils::TryAppendFileNameWithoutNul(Narrow, Path)) {
        throw EPackageError("cannot load a library whose path names no file (a lone surrogate)");
    }
    void* Library = dlopen(Narrow.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (Library == nullptr) {
        const char* Reason = dlerror();
        throw EPackageError(Reason != nullptr ? Reason : "cannot load " + Narrow);
    }
    return Library;
}

void* LibrarySymbol(void* Library, const char* Name) {
    return Library != nullptr && Name != nullptr ? dlsym(Library, Name) : nullptr;
}

bool CloseLibrary(void* Library) noexcept {
    return Library != nullptr && dlclose(Library) == 0;
}

void* ModuleOfAddress(const void* Address) noexcept {
    Dl_info Info{};
    if (Address == nullptr || dladdr(Address, &Info) == 0) {
        return nullptr;
    }
    return Info.dli_fbase;
}

} // namespace System
