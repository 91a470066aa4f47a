#include "DriveMap.hpp"

#include "System.SysUtils.hpp"

#include <algorithm>

namespace Queltburner::Posix {

using System::Sysutils::TrimBlanks;

namespace {

constexpr std::uint32_t DriveTypeOptical = 5;
constexpr std::uint32_t DriveTypeNoRoot = 1;

char UpperAsciiLetter(char16_t C) {
    if (C >= u'a' && C <= u'z') {
        return static_cast<char>(C - u'a' + 'A');
    }
    if (C >= u'A' && C <= u'Z') {
        return static_cast<char>(C);
    }
    return '\0';
}

} // namespace

std::vector<DriveMapping> ParseDriveMap(std::string_view Text) {
    std::vector<DriveMapping> Map;
    while (!Text.empty()) {
        const std::size_t Semicolon = Text.find(';');
        const std::string_view Entry = Text.substr(0, Semicolon);
        Text =
            Semicolon == std::string_view::npos ? std::string_view() : Text.substr(Semicolon + 1);

        const std::size_t Equals = Entry.find('=');
        if (Equals == std::string_view::npos) {
            continue;
        }
        const std::string_view Letter = TrimBlanks(Entry.substr(0, Equals));
        const std::string_view Target = TrimBlanks(Entry.substr(Equals + 1));
        const char Upper =
            Letter.size() == 1 ? UpperAsciiLetter(static_cast<char16_t>(Letter[0])) : '\0';
        if (Upper == '\0' || Target.empty()) {
            continue;
        }
        Map.push_back({Upper, std::string(Target)});
    }
    return Map;
}

std::optional<std::string>
DriveTargetOf(char16_t Letter, const char* DrivesVariable,
              const std::function<bool(const std::string&)>& DeviceExists) {
    const char Upper = UpperAsciiLetter(Letter);
    if (Upper == '\0') {
        return std::nullopt;
    }
    if (DrivesVariable != nullptr) {
        // A letter listed twice: the first entry counts.
        for (DriveMapping& Mapping : ParseDriveMap(DrivesVariable)) {
            if (Mapping.Letter == Upper) {
                return std::move(Mapping.Target);
            }
        }
        return std::nullopt;
    }
    if (Upper < 'D') {
        return std::nullopt;
    }
    std::string Device = "/dev/sr" + std::to_string(Upper - 'D');
    if (!DeviceExists(Device)) {
        return std::nullopt;
    }
    return Device;
}

std::optional<std::string>
CombinedDriveMap(const std::vector<DriveMapping>& Mapped, const char* DrivesVariable,
                 const std::function<bool(const std::string&)>& DeviceExists) {
    if (Mapped.empty()) {
        return std::nullopt;
    }
    std::string Map;
    for (const DriveMapping& Mapping : Mapped) {
        Map.append(1, Mapping.Letter).append(1, '=').append(Mapping.Target).append(1, ';');
    }
    if (DrivesVariable != nullptr) {
        return Map.append(DrivesVariable);
    }
    for (char16_t Letter = u'D'; Letter <= u'Z'; ++Letter) {
        if (std::optional<std::string> Device = DriveTargetOf(Letter, nullptr, DeviceExists)) {
            Map.append(1, static_cast<char>(Letter)).append(1, '=').append(*Device).append(1, ';');
        }
    }
    return Map;
}

std::uint32_t DriveTypeOf(std::u16string_view RootPath, const char* DrivesVariable,
                          const std::function<bool(const std::string&)>& DeviceExists) {
    if (RootPath.size() != 3 || RootPath[1] != u':' || RootPath[2] != u'\\') {
        return DriveTypeNoRoot;
    }
    return DriveTargetOf(RootPath[0], DrivesVariable, DeviceExists) ? DriveTypeOptical
                                                                    : DriveTypeNoRoot;
}

} // namespace Queltburner::Posix
