// The package library's entry point on POSIX: the loader's constructor and destructor calls stand
// in for the attach and detach notifications that Windows sends.
#include "QueltBurnerPack.hpp"

namespace {

void* ThisLibrary() noexcept {
    return System::ModuleOfAddress(reinterpret_cast<const void*>(&ThisLibrary));
}

__attribute__((constructor)) void AttachPackage() {
    Queltburnerpack::initialization(ThisLibrary(), System::ProcessAttach);
}

__attribute__((destructor)) void DetachPackage() {
    Queltburnerpack::initialization(ThisLibrary(), System::ProcessDetach);
}

} // namespace

// ELF linkers read "name@version" in a symbol, so the unit table is exported here without the "@"
// that its Windows export name carries.
extern "C" System::PackageInfo GetPackageInfoTable() noexcept {
    return Queltburnerpack::_GetPackageInfoTable();
}
