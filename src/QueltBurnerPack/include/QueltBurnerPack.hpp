// The package QueltBurnerPack: the library that carries the component unit QueltBurner for the host
// framework. A host loads it, calls Initialize, in a design environment also Queltburner::Register,
// and calls Finalize before it unloads the library.
#pragma once

#include "System.Packages.hpp"

#include <cstdint>

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming)
// The package's exported names are the framework's, leading underscore included.
namespace Queltburnerpack {

// The package's unit table.
System::PackageInfo _GetPackageInfoTable() noexcept;
// Runs the units' start-ups in the table's order.
void _PackageLoad();
// Runs the units' shut-downs in reverse order.
void _PackageUnload();

// The library's entry point, with the notifications of System.Packages.hpp. Records Instance in
// the package's module record; on ProcessAttach registers that record with the runtime; on
// ProcessDetach unregisters it (the package's classes leave the registries) and frees a separate
// resource library if one is recorded. Always 1.
int initialization(void* Instance, std::uint32_t Reason) noexcept;

} // namespace Queltburnerpack

extern "C" {
// The same entry points under their plain names, for hosts that look them up at run time.
void Initialize();
void Finalize();
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming)
