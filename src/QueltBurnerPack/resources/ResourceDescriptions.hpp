// The package's resource descriptions as quelt_resgen reads them from the text files beside this
// header (PackageInfo.txt, PaletteBitmap.txt, MainIcon.txt).
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace QueltResources {

// A description that cannot be used; the message names the file and, where there is one, the line.
class DescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PackageUnit {
    std::string Name;
    std::uint8_t Flags = 0;
};

struct PackageDescription {
    std::uint32_t Flags = 0;
    std::vector<std::string> Requires;
    std::vector<PackageUnit> Units;
    std::string PackageName;
    std::string Description;
    std::string Defines;
    std::string Aliases;
    std::uint16_t Platforms = 0;
    std::uint16_t Version[4] = {};
    std::vector<std::uint8_t> Options;
};

struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A picture as colour-table indices, top row first. Transparent pixels (icons only) have a set
// entry in Transparent and the index of a black entry, so that the AND/XOR drawing leaves the
// screen as it was.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Colours;
    std::vector<std::uint8_t> Indices;
    std::vector<bool> Transparent;
};

struct PictureRules {
    int Width = 0;
    int Height = 0;
    std::size_t MaxColours = 0;
    bool AllowTransparent = false;
};

PackageDescription ReadPackageDescription(const std::filesystem::path& File);
Picture ReadPicture(const std::filesystem::path& File, const PictureRules& Rules);

// The one-byte hash stored before each name in PACKAGEINFO.
std::uint8_t NameHash(const std::string& Name);

} // namespace QueltResources
