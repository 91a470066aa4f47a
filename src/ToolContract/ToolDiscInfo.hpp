// The words the tool's disc question (--disc_info) answers its "state" with: the component reads
// a disc's state from them, and the command-line host shows a state with the same word.
#pragma once

#include <array>
#include <string_view>

namespace ToolContract {

// A word the component does not know is a drive it cannot read a disc in: no disc.
constexpr std::array<std::string_view, 5> DiscStateWords{"no disc", "blank", "appendable", "closed",
                                                         "not a disc"};

} // namespace ToolContract
