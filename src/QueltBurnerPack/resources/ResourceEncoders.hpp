// The bytes of each generated resource, and the resource script that names them.
#pragma once

#include "ResourceDescriptions.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace QueltResources {

using Bytes = std::vector<std::uint8_t>;

// Little-endian, as the loader on x86 reads every number in a resource.
inline void Put16(Bytes& Out, std::uint32_t Value) {
    Out.push_back(static_cast<std::uint8_t>(Value));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8U));
}

inline void Put32(Bytes& Out, std::uint32_t Value) {
    Put16(Out, Value & 0xFFFFU);
    Put16(Out, Value >> 16U);
}

Bytes EncodePackageInfo(const PackageDescription& Package);
Bytes EncodePackageOptions(const PackageDescription& Package);
// UTF-16LE with a closing NUL character; the text is ASCII.
Bytes EncodeDescription(const std::string& Text);
Bytes EncodePlatformTargets(const PackageDescription& Package);

// A .bmp file: 8 bits a pixel, a 256-entry colour table, rows bottom-up.
Bytes EncodeBitmapFile(const Picture& Image);
// A .ico file of one image: 4 bits a pixel, a 16-entry colour table, then the AND mask.
Bytes EncodeIconFile(const Picture& Image);

// The windres script for the package, referring to the generated files in OutputDir.
std::string ResourceScript(const PackageDescription& Package,
                           const std::filesystem::path& OutputDir);

} // namespace QueltResources
