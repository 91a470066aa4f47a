// A program that links the component statically finds TQueltBurner by name (form data, FindClass)
// without a design environment calling Register. The package leaves this to Register.
#include "Registration.hpp"

namespace {

// Only running out of memory at start-up could make this throw, which ends the program either way.
const bool Registered = [] { // NOLINT(cert-err58-cpp)
    System::Classes::RegisterClass(Queltburner::QueltBurnerClass());
    return true;
}();

} // namespace
