#include "CueSheet.hpp"

#include "RecorderFailure.hpp"

#include <cstdio>

namespace Recorder {

bool IsCueSheetName(std::string_view Path) {
    if (Path.size() < 4) {
        return false;
    }
    std::string Tail(Path.substr(Path.size() - 4));
    for (char& C : Tail) {
        if (C >= 'A' && C <= 'Z') {
            C = static_cast<char>(C - 'A' + 'a');
        }
    }
    return Tail == ".cue";
}

std::string BareNameOf(const std::string& Path) {
    const std::size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string CueSheetPathOf(const std::string& DataFile) {
    const std::string Name = BareNameOf(DataFile);
    if (IsCueSheetName(Name)) {
        throw RecorderFailure(ExitCode::Target,
                              DataFile + ": a disc of raw sectors keeps its CUE sheet beside it, "
                                         "so its own name cannot end in .cue");
    }
    const std::string Folder = DataFile.substr(0, DataFile.size() - Name.size());
    const std::size_t Dot = Name.find_last_of('.');
    // A leading dot starts a hidden file's name, not an extension.
    const std::string Stem = Dot == std::string::npos || Dot == 0 ? Name : Name.substr(0, Dot);
    return Folder + Stem + ".cue";
}

std::string CueText(std::string_view Text, bool& Changed) {
    std::string Carried(Text);
    Changed = false;
    for (char& C : Carried) {
        if (C == '"') {
            C = '\'';
            Changed = true;
        } else if (C == '\n' || C == '\r') {
            C = ' ';
            Changed = true;
        }
    }
    return Carried;
}

std::string CueTime(std::uint64_t Sectors) {
    constexpr std::uint64_t PerSecond = 75;
    constexpr std::uint64_t PerMinute = 60 * PerSecond;
    char Text[32];
    (void)std::snprintf(Text, sizeof Text, "%02llu:%02llu:%02llu",
                        static_cast<unsigned long long>(Sectors / PerMinute),
                        static_cast<unsigned long long>(Sectors % PerMinute / PerSecond),
                        static_cast<unsigned long long>(Sectors % PerSecond));
    return Text;
}

} // namespace Recorder
