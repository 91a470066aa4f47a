// The progress lines the recorder prints and the component reads: "progress PHASE PERCENT", with
// "DONE TOTAL" after it where the work counts bytes. The component turns the phase word into a
// job's phase, and the command-line host shows the same word to people.
#pragma once

#include <array>
#include <string_view>

namespace ToolContract {

constexpr std::string_view ProgressLinePrefix = "progress ";

// The phases a run goes through, in the order they come (a run may leave some out).
constexpr std::array<std::string_view, 5> ProgressPhases{"preparing", "erasing", "writing",
                                                         "closing", "verifying"};

} // namespace ToolContract
