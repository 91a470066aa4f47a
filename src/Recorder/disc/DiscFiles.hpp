// The file steps of writing a disc: copying a source into the disc's file, and making what was
// written durable. A read error is a source error, a write error names the disc.
#pragma once

#include "Progress.hpp"
#include "Target.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace Recorder {

// Copies everything From holds to the end of To, calling Copied with each piece's size. A read
// error is a source error naming Source, a write error a write error naming the disc Where.
// Returns the bytes copied.
std::uint64_t CopyAll(const Target& Where, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied);

// Writes Text to Path (created or replaced) and makes it durable; a failure is a write error.
void WriteDurably(const Target& Where, const std::string& Path, const std::string& Text);

// Makes a complete scratch file durable before it is moved into place: the closing phase.
void SyncFile(const Target& Where, Progress& Report, const std::string& Path);

} // namespace Recorder
