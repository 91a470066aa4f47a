// Linked into the static library only: a program that carries the component finds TQueltBurner by
// name (form data, FindClass) from its start, without a design environment calling Register. In
// the package the class is registered by Register alone, when a design environment installs it.
//
// Nothing in a program refers to this file, so a linker would leave it out of the archive's
// objects; the static library's link options name its anchor as undefined, which pulls it in.
#include "Registration.hpp"

namespace {

// Only running out of memory at start-up could make this throw, which ends the program either way.
const bool RegisteredAtStartUp = [] { // NOLINT(cert-err58-cpp)
    System::Classes::RegisterClass(Queltburner::QueltBurnerClass());
    return true;
}();

} // namespace

// The anchor the static library's link options ask for.
extern "C" const bool QueltBurnerStaticClassRegistration = RegisteredAtStartUp;
