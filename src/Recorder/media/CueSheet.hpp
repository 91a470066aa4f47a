// The CUE sheets' reader and writer moved to the disc layer (disc/CueSheet.hpp); this name stays
// for the code that still includes it by its old folder.
#pragma once

#include "../disc/CueSheet.hpp" // IWYU pragma: export
