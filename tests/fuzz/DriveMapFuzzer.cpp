// Any text as the drive map (QUELT_DRIVES), asked for any letter: the first entry for the letter
// names the target, in either case, trimmed and never empty; without a map only /dev/srN are
// drives; and a letter is an optical drive exactly when it has a target.
#include "DriveMap.hpp"
#include "FuzzInput.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using Queltburner::Posix::DriveTargetOf;
using QueltFuzz::Check;

bool IsBlank(char C) {
    return C == ' ' || C == '\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    QueltFuzz::FuzzInput In(Data, Size);
    const auto Letter = static_cast<char16_t>(In.U16());
    const bool DevicesExist = In.Bool();
    // The variable is a C string: it ends at its first NUL.
    const std::string Text(reinterpret_cast<const char*>(Data) + (Size - In.Remaining()),
                           In.Remaining());
    const std::string Map = Text.substr(0, Text.find('\0'));
    const auto Exists = [DevicesExist](const std::string&) { return DevicesExist; };

    const std::optional<std::string> Target = DriveTargetOf(Letter, Map.c_str(), Exists);
    if (Target) {
        Check(!Target->empty() && !IsBlank(Target->front()) && !IsBlank(Target->back()),
              "a target is trimmed and not empty");
        Check(Target->find(';') == std::string::npos, "a target is one entry's");
        Check(Map.find(*Target) != std::string::npos, "a target comes from the map");
    }
    const bool Lower = Letter >= u'a' && Letter <= u'z';
    const bool Upper = Letter >= u'A' && Letter <= u'Z';
    Check(Lower || Upper || !Target, "only a letter names a drive");
    if (Lower || Upper) {
        const char16_t Other = Lower ? static_cast<char16_t>(Letter - u'a' + u'A')
                                     : static_cast<char16_t>(Letter - u'A' + u'a');
        Check(DriveTargetOf(Other, Map.c_str(), Exists) == Target, "either case, one drive");
    }
    const std::u16string Root{Letter, u':', u'\\'};
    Check((Queltburner::Posix::DriveTypeOf(Root, Map.c_str(), Exists) == 5) == Target.has_value(),
          "a letter with a target is an optical drive");

    const std::optional<std::string> Device = DriveTargetOf(Letter, nullptr, Exists);
    Check(!Device || (DevicesExist && Device->starts_with("/dev/sr")),
          "without a map, only an existing /dev/srN is a drive");
    return 0;
}
