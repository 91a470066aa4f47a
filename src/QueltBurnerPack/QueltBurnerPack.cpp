// The package unit: its unit table, its module record and its entry points.
#include "QueltBurnerPack.hpp"

#include "QueltBurner.hpp"
#include "System.Classes.hpp"
#include "System.SysUtils.hpp"
#include "System.TypInfo.hpp"

#include <array>
#include <typeinfo>

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming)
namespace Queltburnerpack {

namespace {

// The per-module start-up unit that every package contains. It has no work of its own.
System::TUnitEntryCount SysInitEntries;
void SysInitInitialization() {
    SysInitEntries.Enter();
}
void SysInitFinalization() {
    SysInitEntries.Leave();
}

// Every unit the package uses, in the order they depend on each other: the framework's units from
// the shared framework library, SysInit, the component unit last but one, and this unit last. This
// unit has no start-up or shut-down of its own.
const std::array<System::PackageUnitEntry, 7> UnitTable{{
    {&System::initialization, &System::Finalization},
    {&SysInitInitialization, &SysInitFinalization},
    {&System::Sysutils::initialization, &System::Sysutils::Finalization},
    {&System::Typinfo::initialization, &System::Typinfo::Finalization},
    {&System::Classes::initialization, &System::Classes::Finalization},
    {&Queltburner::initialization, &Queltburner::Finalization},
    {nullptr, nullptr},
}};

// The run-time type records the package publishes, and the units that contribute them.
const std::array<const std::type_info*, 3> TypeTable{&typeid(Queltburner::TQueltBurner),
                                                     &typeid(Queltburner::TDiskType),
                                                     &typeid(Queltburner::TErrorEvent)};
const std::array<const char*, 2> TypeUnitNames{"QueltBurner", "SysInit"};

const System::PackageInfoTable PackageTable{
    static_cast<int>(UnitTable.size()),
    UnitTable.data(),
    {static_cast<int>(TypeTable.size()), TypeTable.data(), static_cast<int>(TypeUnitNames.size()),
     TypeUnitNames.data()},
};

System::TLibModule ModuleRecord;

} // namespace

System::PackageInfo _GetPackageInfoTable() noexcept {
    return &PackageTable;
}

void _PackageLoad() {
    System::PackageLoad(&PackageTable, &ModuleRecord);
}

void _PackageUnload() {
    System::PackageUnload(&PackageTable, &ModuleRecord);
}

int initialization(void* Instance, std::uint32_t Reason) noexcept {
    System::HandleLibraryNotification(ModuleRecord, Instance, Reason);
    return 1;
}

} // namespace Queltburnerpack

extern "C" {
void Initialize() {
    Queltburnerpack::_PackageLoad();
}
void Finalize() {
    Queltburnerpack::_PackageUnload();
}
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-identifier-naming)
