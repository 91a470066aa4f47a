// Reading a text file the user names, such as a settings file: only a regular file of a bounded
// size, so that a folder, a device or a FIFO gives a reason instead of an exception, endless
// reading or a hang.
#pragma once

#include "System.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace Queltburn {

// The largest text file read, as the help and docs/queltburn.md state it.
inline constexpr std::uintmax_t MaxTextFileBytes = std::uintmax_t{4} << 20U;
inline constexpr std::string_view MaxTextFileSize = "4 MiB";

// Reads Path as the framework's text files are written (UTF-16LE with its mark, or UTF-8 with or
// without it) into Text. Returns the reason when the file cannot be read as text: missing, not a
// regular file, larger than MaxTextFileBytes, unreadable, or holding NUL characters once decoded
// (a binary file, or UTF-16 text without its mark).
std::optional<std::string> ReadTextFile(const System::UnicodeString& Path,
                                        System::UnicodeString& Text);

} // namespace Queltburn
