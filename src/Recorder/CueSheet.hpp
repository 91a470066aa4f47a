// The CUE sheet beside a virtual disc of raw CD sectors: its reader, writer and path rules live in
// the medium layer.
#pragma once

#include "media/CueSheet.hpp"
