// Linked into the static library only: a program that carries the component finds TQueltBurner by
// name (form data, FindClass) without a design environment calling Register.
#include "Registration.hpp"

namespace Queltburner {

const bool RegisterClassAtStartUp = true;

} // namespace Queltburner
