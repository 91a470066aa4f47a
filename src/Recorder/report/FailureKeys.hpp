// The cases a recorder run that fails tells apart for programs: the run's last line on standard
// output is "failure KEY" with one of these keys. The table is the one the component reads the
// line with (src/ToolContract/ToolExits.hpp); the recorder knows it by these names.
#pragma once

#include "ToolExits.hpp"

namespace Recorder {

using ToolContract::FailureKey;
using ToolContract::FailureKeyOf;
using ToolContract::FailureKeys;
using ToolContract::FailureKind;
using ToolContract::FailureLinePrefix;

} // namespace Recorder
