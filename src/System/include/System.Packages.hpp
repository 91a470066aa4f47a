// Packages: libraries loaded at run time that carry units. The runtime keeps a record of every
// loaded module, runs a package's unit start-ups and shut-downs from its unit table, and forgets
// the classes a module registered when the module goes away, so no registry points into unloaded
// code.
#pragma once

#include "System.hpp"

#include <cstdint>
#include <stdexcept>
#include <typeinfo>
#include <vector>

namespace System {

// The runtime's record of one loaded module.
struct TLibModule {
    void* Instance = nullptr; // the module's base address (its instance handle on Windows)
    void* ResInstance =
        nullptr; // where its resources are read; a separate library is freed with it
};

// One unit's start-up and shut-down. Either may be null (a unit without such code).
using TUnitProc = void (*)();
struct PackageUnitEntry {
    TUnitProc Init = nullptr;
    TUnitProc FInit = nullptr;
};

// The run-time type records a package publishes, and the units they come from.
struct TPackageTypeInfo {
    int TypeCount = 0;
    const std::type_info* const* TypeTable = nullptr;
    int UnitCount = 0;
    const char* const* UnitNames = nullptr;
};

// A package's unit table: one pair per unit it uses, in the order the units depend on each other.
struct PackageInfoTable {
    int UnitCount = 0;
    const PackageUnitEntry* UnitInfo = nullptr;
    TPackageTypeInfo TypeInfo;
};
using PackageInfo = const PackageInfoTable*;

// Adds the module to the runtime's list; a module already listed is not added twice.
void RegisterModule(TLibModule* Module);
// Removes the module from the list, then tells every module-unload handler, so that registries
// holding entries whose code lives in the module (the class registry and the palette) drop them.
void UnregisterModule(TLibModule* Module);
// A registry that keeps entries pointing into modules adds its handler once; handlers stay for the
// whole run and are called, in the order added, with the instance of each module that goes away.
using TModuleUnloadHandler = void (*)(const void* ModuleInstance);
void AddModuleUnloadHandler(TModuleUnloadHandler Handler);
// Whether the module is in the runtime's list.
bool IsModuleRegistered(const TLibModule* Module);

// The notifications a library's entry point receives (the values Windows uses).
enum : std::uint32_t { ProcessDetach = 0, ProcessAttach = 1, ThreadAttach = 2, ThreadDetach = 3 };

// What a package's entry point does with its module record. Every notification records Instance;
// ProcessAttach registers the record; ProcessDetach unregisters it (the module's classes leave the
// registries) and frees the resource library when one other than the module itself is recorded.
void HandleLibraryNotification(TLibModule& Module, void* Instance, std::uint32_t Reason) noexcept;

// Runs the start-ups of the table in order. When one throws, the units already started are shut
// down in reverse order and the exception passes on. Every successful load counts once.
void PackageLoad(PackageInfo Table, TLibModule* Module);
// Runs the shut-downs in reverse order, once for each counted load; without a load it does nothing,
// so an unbalanced call never shuts a unit down twice.
void PackageUnload(PackageInfo Table, TLibModule* Module);

// Raised when a library cannot be loaded; the message carries the system's reason.
class EPackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Loads a library by its path (the system's LoadLibrary or dlopen). Throws EPackageError.
void* OpenLibrary(const UnicodeString& Path);
// The address the library exports under Name, or null.
void* LibrarySymbol(void* Library, const char* Name);
// Releases one load of the library; false when the system refused.
bool CloseLibrary(void* Library) noexcept;
// The base address of the module whose code or data holds Address, or null.
void* ModuleOfAddress(const void* Address) noexcept;

// How often a unit was entered. A unit's start-up work runs on the first entry, its shut-down work
// on the last leave; a leave without an entry changes nothing.
class TUnitEntryCount {
public:
    bool Enter() noexcept { return FCount++ == 0; }
    bool Leave() noexcept { return FCount > 0 && --FCount == 0; }
    int Value() const noexcept { return FCount; }

private:
    int FCount = 0;
};

// The start-up and shut-down of this unit; they only count how often the unit was entered.
void initialization();
void Finalization();

} // namespace System
