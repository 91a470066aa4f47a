// The JSON that info --json and drives --json print: one object per drive, its fields in a fixed
// order, sizes in exact bytes.
#pragma once

#include "QueltBurner.hpp"

#include <string>
#include <string_view>

namespace Queltburn {

// The word a disc's state goes by in text and JSON: "blank", "appendable", ...
const char* StateWord(Queltburner::DiscState State);

// Text as a JSON string, quotes included.
void AppendJson(std::string& Out, std::string_view Text);

// The fields (without braces) of a drive and of the answer about its disc: "drive", "target",
// "vendor", "model", "media", "busy", "result", then the disc's fields or "reason".
std::string DriveJsonFields(const Queltburner::TOpticalDrive& Drive, int Result,
                            const Queltburner::DiscReport& Disc);

} // namespace Queltburn
