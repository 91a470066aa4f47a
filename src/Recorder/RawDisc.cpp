#include "RawDisc.hpp"

#include "CueSheet.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fstream>
#include <string_view>

namespace Recorder {

namespace {

// Sheets are small text files; anything larger is not one the recorder wrote.
constexpr std::uintmax_t LargestSheet = 1 << 20;

// The file name of a FILE line ("FILE "name" BINARY" or "FILE name BINARY"), or none.
std::optional<std::string> FileNamed(std::string_view Line) {
    while (!Line.empty() && (Line.front() == ' ' || Line.front() == '\t')) {
        Line.remove_prefix(1);
    }
    if (!Line.starts_with("FILE ")) {
        return std::nullopt;
    }
    Line.remove_prefix(5);
    while (!Line.empty() && Line.front() == ' ') {
        Line.remove_prefix(1);
    }
    if (Line.starts_with('"')) {
        const std::size_t Close = Line.find('"', 1);
        return Close == std::string_view::npos
                   ? std::nullopt
                   : std::optional<std::string>(Line.substr(1, Close - 1));
    }
    return std::string(Line.substr(0, Line.find(' ')));
}

} // namespace

std::optional<std::string> SheetBeside(const std::string& DataFile) {
    try {
        return CueSheetPathOf(DataFile);
    } catch (const RecorderFailure&) {
        return std::nullopt;
    }
}

bool SheetNames(const std::string& Sheet, const std::string& DataFile) {
    struct stat Info {};
    if (::stat(Sheet.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
        static_cast<std::uintmax_t>(Info.st_size) > LargestSheet) {
        return false;
    }
    std::ifstream In(Sheet);
    const std::string Bare = BareNameOf(DataFile);
    for (std::string Line; std::getline(In, Line);) {
        if (!Line.empty() && Line.back() == '\r') {
            Line.pop_back();
        }
        if (FileNamed(Line) == Bare) {
            return true;
        }
    }
    return false;
}

bool HoldsRawSession(const std::string& DataFile) {
    struct stat Info {};
    const std::optional<std::string> Sheet = SheetBeside(DataFile);
    return Sheet && ::stat(DataFile.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) &&
           Info.st_size > 0 && SheetNames(*Sheet, DataFile);
}

void RemoveSheetOf(const Target& Where) {
    const std::optional<std::string> Sheet = SheetBeside(Where.Path);
    if (Sheet && SheetNames(*Sheet, Where.Path) && ::unlink(Sheet->c_str()) != 0) {
        throw RecorderFailure(ExitCode::Write, Where.Describe() + ": cannot remove the CUE sheet " +
                                                   *Sheet + ": " + std::strerror(errno));
    }
}

std::string SheetScratchOf(const std::string& Scratch) {
    return Scratch + ".cue";
}

} // namespace Recorder
