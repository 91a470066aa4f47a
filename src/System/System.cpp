#include "System.hpp"

namespace System {

TObject::~TObject() = default;

} // namespace System
