#include "CueImage.hpp"

#include "CueSheet.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace Recorder {

namespace {

constexpr std::uint64_t SectorsPerSecond = 75;

struct ModeSize {
    std::string_view Mode;
    std::uint32_t Bytes;
};
constexpr std::array<ModeSize, 10> Modes{{{"AUDIO", 2352},
                                          {"CDG", 2448},
                                          {"MODE1/2048", 2048},
                                          {"MODE1/2352", 2352},
                                          {"MODE2/2048", 2048},
                                          {"MODE2/2324", 2324},
                                          {"MODE2/2336", 2336},
                                          {"MODE2/2352", 2352},
                                          {"CDI/2336", 2336},
                                          {"CDI/2352", 2352}}};

// The words of a line; a quoted word keeps its blanks.
std::vector<std::string> WordsOf(std::string_view Line) {
    std::vector<std::string> Words;
    std::size_t At = 0;
    while (At < Line.size()) {
        if (Line[At] == ' ' || Line[At] == '\t') {
            ++At;
            continue;
        }
        if (Line[At] == '"') {
            const std::size_t Close = Line.find('"', At + 1);
            const std::size_t End = Close == std::string_view::npos ? Line.size() : Close;
            Words.emplace_back(Line.substr(At + 1, End - At - 1));
            At = End + 1;
            continue;
        }
        const std::size_t End = Line.find_first_of(" \t", At);
        const std::size_t Stop = End == std::string_view::npos ? Line.size() : End;
        Words.emplace_back(Line.substr(At, Stop - At));
        At = Stop;
    }
    return Words;
}

std::string Upper(std::string Text) {
    for (char& C : Text) {
        if (C >= 'a' && C <= 'z') {
            C = static_cast<char>(C - 'a' + 'A');
        }
    }
    return Text;
}

bool WholeNumber(std::string_view Text, std::uint64_t& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size() && !Text.empty();
}

// "mm:ss:ff" in sectors; none when the text is not such a time.
bool SectorsOfTime(std::string_view Text, std::uint64_t& Sectors) {
    const std::size_t First = Text.find(':');
    const std::size_t Second = Text.find(':', First == std::string_view::npos ? 0 : First + 1);
    std::uint64_t Minutes = 0;
    std::uint64_t Seconds = 0;
    std::uint64_t Frames = 0;
    if (First == std::string_view::npos || Second == std::string_view::npos ||
        !WholeNumber(Text.substr(0, First), Minutes) ||
        !WholeNumber(Text.substr(First + 1, Second - First - 1), Seconds) ||
        !WholeNumber(Text.substr(Second + 1), Frames) || Seconds >= 60 ||
        Frames >= SectorsPerSecond) {
        return false;
    }
    Sectors = (Minutes * 60 + Seconds) * SectorsPerSecond + Frames;
    return true;
}

std::string FolderOfSheet(const std::string& Sheet) {
    const std::size_t Slash = Sheet.find_last_of('/');
    return Slash == std::string::npos ? std::string() : Sheet.substr(0, Slash + 1);
}

} // namespace

void CueImage::SheetCheck::Fail(std::size_t LineNumber, const std::string& Reason) const {
    throw RecorderFailure(ExitCode::Source, "image " + Sheet + ", line " +
                                                std::to_string(LineNumber) + ": " + Reason);
}

void CueImage::SheetCheck::Fail(const std::string& Reason) const {
    throw RecorderFailure(ExitCode::Source, "image " + Sheet + ": " + Reason);
}

void CueImage::SheetCheck::FailFile(const std::string& File, const std::string& Reason) const {
    throw RecorderFailure(ExitCode::Source,
                          "image " + Sheet + ": data file " + File + ": " + Reason);
}

namespace {

CueDataFile OpenDataFile(const CueImage::SheetCheck& Reader, const std::string& Name) {
    CueDataFile File;
    File.Path = Name.starts_with('/') ? Name : FolderOfSheet(Reader.Sheet) + Name;
    struct stat Info {};
    if (::stat(File.Path.c_str(), &Info) != 0) {
        Reader.FailFile(File.Path, std::strerror(errno));
    }
    if (!S_ISREG(Info.st_mode)) {
        Reader.FailFile(File.Path, "is not a file");
    }
    if (::access(File.Path.c_str(), R_OK) != 0) {
        Reader.FailFile(File.Path, std::strerror(errno));
    }
    File.Bytes = static_cast<std::uint64_t>(Info.st_size);
    return File;
}

} // namespace

void CueImage::CheckSizes(const SheetCheck& Reader) {
    for (const CueTrack& Track : FTracks) {
        if (!Track.HasIndexOne) {
            Reader.Fail("track " + std::to_string(Track.Number) + " has no INDEX 01");
        }
    }
    for (std::size_t F = 0; F < FFiles.size(); ++F) {
        CueDataFile& File = FFiles[F];
        const CueTrack* Previous = nullptr;
        std::uint64_t Offset = 0;
        for (const CueTrack& Track : FTracks) {
            if (Track.File != F) {
                continue;
            }
            if (Previous == nullptr && F > 0 && Track.Start != 0) {
                Reader.FailFile(File.Path, "a data file after the first must start with its "
                                           "first track's index");
            }
            Offset += Previous == nullptr ? Track.Start * Track.SectorBytes
                                          : (Track.Start - Previous->Start) * Previous->SectorBytes;
            Previous = &Track;
        }
        if (Previous == nullptr) {
            Reader.FailFile(File.Path, "holds no track");
        }
        if (Offset >= File.Bytes || (File.Bytes - Offset) % Previous->SectorBytes != 0) {
            Reader.FailFile(File.Path, std::to_string(File.Bytes) + " bytes: track " +
                                           std::to_string(Previous->Number) + " (" +
                                           Previous->Mode + ") would not be whole sectors of " +
                                           std::to_string(Previous->SectorBytes) + " bytes");
        }
        File.Sectors = Previous->Start + (File.Bytes - Offset) / Previous->SectorBytes;
    }
}

std::uint64_t CueImage::Sectors() const {
    std::uint64_t Total = 0;
    for (const CueDataFile& File : FFiles) {
        Total += File.Sectors;
    }
    for (const CueTrack& Track : FTracks) {
        Total += Track.Gaps;
    }
    return Total;
}

bool CueImage::LibburnWrites() const {
    for (const CueTrack& Track : FTracks) {
        if (Track.Mode != "AUDIO" && Track.Mode != "MODE1/2048") {
            return false;
        }
    }
    return FFiles.size() == 1;
}

std::string CueImage::JoinedSheet(const std::string& DataName, bool& Dropped) const {
    std::vector<std::uint64_t> Before(FFiles.size(), 0);
    for (std::size_t F = 1; F < FFiles.size(); ++F) {
        Before[F] = Before[F - 1] + FFiles[F - 1].Sectors;
    }
    Dropped = false;
    bool Named = false;
    std::string Sheet;
    for (const Line& Entry : FLines) {
        switch (Entry.Kind) {
        case Line::Role::File:
            if (!Named) {
                Sheet += "FILE \"" + DataName + "\" BINARY\n";
                Named = true;
            }
            break;
        case Line::Role::Index:
            Sheet += "    INDEX " + Entry.IndexNumber + " " +
                     CueTime(Before[Entry.File] + Entry.Position) + "\n";
            break;
        case Line::Role::TextFile:
            Dropped = true;
            break;
        case Line::Role::Other:
            Sheet += Entry.Text + "\n";
            break;
        }
    }
    return Sheet;
}

std::string CueImage::SheetWithFullPaths() const {
    std::string Sheet;
    for (const Line& Entry : FLines) {
        if (Entry.Kind == Line::Role::File) {
            std::error_code Error;
            const std::filesystem::path Full =
                std::filesystem::absolute(FFiles[Entry.File].Path, Error);
            Sheet += "FILE \"" + (Error ? FFiles[Entry.File].Path : Full.string()) + "\" BINARY\n";
        } else if (Entry.Kind != Line::Role::TextFile) {
            Sheet += Entry.Text + "\n";
        }
    }
    return Sheet;
}

CueImage CueImage::Read(const std::string& SheetPath) {
    const SheetCheck Reader{SheetPath};
    std::ifstream In(SheetPath, std::ios::binary);
    if (!In) {
        throw RecorderFailure(ExitCode::Source, "image " + SheetPath + ": " + std::strerror(errno));
    }
    CueImage Image;
    std::size_t Number = 0;
    std::uint64_t LastPosition = 0;
    std::string Text;
    while (std::getline(In, Text)) {
        ++Number;
        if (!Text.empty() && Text.back() == '\r') {
            Text.pop_back();
        }
        if (Number == 1 && Text.starts_with("\xEF\xBB\xBF")) {
            Text.erase(0, 3); // a byte-order mark
        }
        const std::vector<std::string> Words = WordsOf(Text);
        Line Entry;
        Entry.Text = Text;
        if (Words.empty()) {
            Image.FLines.push_back(Entry);
            continue;
        }
        const std::string Keyword = Upper(Words[0]);
        if (Keyword == "FILE") {
            if (Words.size() != 3 || Upper(Words[2]) != "BINARY") {
                Reader.Fail(Number, "a FILE line names one data file of raw sectors (BINARY)");
            }
            Image.FFiles.push_back(OpenDataFile(Reader, Words[1]));
            LastPosition = 0;
            Entry.Kind = Line::Role::File;
        } else if (Keyword == "TRACK") {
            std::uint64_t TrackNumber = 0;
            if (Words.size() != 3 || !WholeNumber(Words[1], TrackNumber) || TrackNumber == 0 ||
                TrackNumber > 99) {
                Reader.Fail(Number, "a TRACK line gives a number from 1 to 99 and a mode");
            }
            if (Image.FFiles.empty()) {
                Reader.Fail(Number, "TRACK before any FILE");
            }
            if (!Image.FTracks.empty() &&
                static_cast<std::uint64_t>(Image.FTracks.back().Number) >= TrackNumber) {
                Reader.Fail(Number, "track numbers must rise");
            }
            CueTrack Track;
            Track.Number = static_cast<int>(TrackNumber);
            Track.Mode = Upper(Words[2]);
            for (const ModeSize& Known : Modes) {
                Track.SectorBytes = Known.Mode == Track.Mode ? Known.Bytes : Track.SectorBytes;
            }
            if (Track.SectorBytes == 0) {
                Reader.Fail(Number, "unknown track mode " + Words[2]);
            }
            Track.File = Image.FFiles.size() - 1;
            Image.FTracks.push_back(Track);
        } else if (Keyword == "INDEX" || Keyword == "PREGAP" || Keyword == "POSTGAP") {
            if (Image.FTracks.empty()) {
                Reader.Fail(Number, Keyword + " before any TRACK");
            }
            CueTrack& Track = Image.FTracks.back();
            const bool Index = Keyword == "INDEX";
            std::uint64_t IndexNumber = 0;
            std::uint64_t Position = 0;
            if (Words.size() != (Index ? 3U : 2U) ||
                (Index && (!WholeNumber(Words[1], IndexNumber) || IndexNumber > 99)) ||
                !SectorsOfTime(Words.back(), Position)) {
                Reader.Fail(Number, Index ? "an INDEX line gives a number and a time mm:ss:ff"
                                          : Keyword + " gives a time mm:ss:ff");
            }
            if (!Index) {
                Track.Gaps += Position;
            } else {
                if (Track.File != Image.FFiles.size() - 1) {
                    Reader.Fail(Number, "the indexes of track " + std::to_string(Track.Number) +
                                            " lie in two data files, which is not supported");
                }
                if (!Track.HasIndex) {
                    Track.Start = Position;
                    Track.HasIndex = true;
                }
                if (Position < LastPosition) {
                    Reader.Fail(Number, "the positions of a file's indexes must rise");
                }
                LastPosition = Position;
                Track.HasIndexOne = Track.HasIndexOne || IndexNumber == 1;
                Entry.Kind = Line::Role::Index;
                Entry.File = Track.File;
                Entry.IndexNumber = Words[1];
                Entry.Position = Position;
            }
        } else if (Keyword == "CDTEXTFILE") {
            Entry.Kind = Line::Role::TextFile;
        } else if (Keyword != "CATALOG" && Keyword != "FLAGS" && Keyword != "ISRC" &&
                   Keyword != "PERFORMER" && Keyword != "TITLE" && Keyword != "SONGWRITER" &&
                   Keyword != "REM") {
            Reader.Fail(Number, "unknown command " + Words[0]);
        }
        Entry.File = Image.FFiles.empty() ? 0 : Image.FFiles.size() - 1;
        Image.FLines.push_back(Entry);
    }
    if (Image.FTracks.empty()) {
        throw RecorderFailure(ExitCode::Source, "image " + SheetPath + ": names no track");
    }
    Image.CheckSizes(Reader);
    return Image;
}

} // namespace Recorder
