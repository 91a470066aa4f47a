// The start-ups and shut-downs of the framework's units. None has work of its own: each only counts
// how often its unit was entered, as a package's unit table runs them.
#include "System.Classes.hpp"
#include "System.Packages.hpp"
#include "System.SysUtils.hpp"
#include "System.TypInfo.hpp"

namespace System {

namespace {
TUnitEntryCount SystemEntries;
TUnitEntryCount SysutilsEntries;
TUnitEntryCount TypinfoEntries;
TUnitEntryCount ClassesEntries;
} // namespace

void initialization() {
    SystemEntries.Enter();
}
void Finalization() {
    SystemEntries.Leave();
}
void Sysutils::initialization() {
    SysutilsEntries.Enter();
}
void Sysutils::Finalization() {
    SysutilsEntries.Leave();
}
void Typinfo::initialization() {
    TypinfoEntries.Enter();
}
void Typinfo::Finalization() {
    TypinfoEntries.Leave();
}
void Classes::initialization() {
    ClassesEntries.Enter();
}
void Classes::Finalization() {
    ClassesEntries.Leave();
}

} // namespace System
