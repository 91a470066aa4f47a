// The unit's start-up and shut-down, and its palette registration.
#include "Registration.hpp"

#include "QueltBurner.hpp"
#include "System.Packages.hpp"

namespace Queltburner {

namespace {

System::Classes::TComponent* CreateQueltBurner(System::Classes::TComponent* AOwner) {
    return new TQueltBurner(AOwner);
}

// The unit has no start-up or shut-down work: loading it creates nothing, reads no registry value
// and registers nothing. Components are created, and the tool is looked up, only on request.
System::TUnitEntryCount UnitEntries;

} // namespace

System::Classes::TComponentClass QueltBurnerClass() {
    // The factory's address places the class in whichever module this unit was linked into, so the
    // registries forget the class when a package holding it is unloaded.
    return {u"TQueltBurner", &CreateQueltBurner, reinterpret_cast<const void*>(&CreateQueltBurner)};
}

void initialization() {
    UnitEntries.Enter();
}

void Finalization() {
    UnitEntries.Leave();
}

void Register() {
    System::Classes::RegisterComponents(u"Quelt Soft", {QueltBurnerClass()});
}

} // namespace Queltburner
