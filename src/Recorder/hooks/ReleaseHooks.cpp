// The installed recorder's hooks: nothing happens at the tests' moments (see TestHooks.hpp).
#include "TestHooks.hpp"

namespace Recorder::TestHooks {

void BeforeWrite() {}

void CorruptWritten(const std::string& /*Image*/) {}

} // namespace Recorder::TestHooks
