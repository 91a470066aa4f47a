#include "CueImage.hpp"

#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>

#include <filesystem>

namespace Recorder {

namespace {

// Drives and the writing programs take 32-bit sector addresses: an image of more sectors is no
// disc, and with every count below this bound no sum of them can overflow.
constexpr std::uint64_t MostSectors = 0xFFFFFFFFU;

std::string FolderOfSheet(const std::string& Sheet) {
    const std::size_t Slash = Sheet.find_last_of('/');
    return Slash == std::string::npos ? std::string() : Sheet.substr(0, Slash + 1);
}

CueDataFile OpenDataFile(const CueImage::SheetCheck& Reader, const std::string& Name) {
    CueDataFile File;
    File.Path = Name.starts_with('/') ? Name : FolderOfSheet(Reader.Sheet) + Name;
    std::string Reason;
    const FileDescriptor Data(OpenRegularFile(File.Path, Reason));
    struct stat Info {};
    if (Data.Get() < 0) {
        Reader.FailFile(File.Path, Reason);
    }
    (void)::fstat(Data.Get(), &Info);
    File.Bytes = static_cast<std::uint64_t>(Info.st_size);
    return File;
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

void CueImage::CheckSizes(const SheetCheck& Reader) {
    for (const CueTrack& Track : FTracks) {
        if (!Track.HasIndexOne) {
            Reader.Fail("track " + std::to_string(Track.Number) + " has no INDEX 01");
        }
    }
    std::uint64_t Total = 0;
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
        // An index past the end would lie in the next file's sectors once the files are joined.
        if (Previous->Last >= File.Sectors) {
            Reader.FailFile(File.Path, "track " + std::to_string(Previous->Number) +
                                           " has an index at " + CueTime(Previous->Last) +
                                           ", past the file's end");
        }
        Total += File.Sectors;
        if (File.Sectors > MostSectors || Total > MostSectors) {
            Reader.FailFile(File.Path, "more sectors than any disc addresses");
        }
    }
    for (const CueTrack& Track : FTracks) {
        Total += Track.Gaps;
        if (Track.Gaps > MostSectors || Total > MostSectors) {
            Reader.Fail("more sectors than any disc addresses");
        }
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
    std::vector<CueLine> Joined;
    for (std::size_t L = 0; L < FLines.size(); ++L) {
        CueLine Line = FLines[L];
        if (Line.Command == CueCommand::File) {
            if (!Named) {
                Joined.push_back(CueLine::FileLine(DataName));
                Named = true;
            }
            continue;
        }
        if (Line.Command == CueCommand::TextFile) {
            Dropped = true;
            continue;
        }
        if (Line.Command == CueCommand::Index) {
            Line.Sectors += Before[FLineFiles[L]];
        }
        Joined.push_back(std::move(Line));
    }
    return WriteCueSheet(Joined);
}

std::string CueImage::SheetWithFullPaths() const {
    std::vector<CueLine> Full;
    for (std::size_t L = 0; L < FLines.size(); ++L) {
        CueLine Line = FLines[L];
        if (Line.Command == CueCommand::File) {
            std::error_code Error;
            const std::string& Path = FFiles[FLineFiles[L]].Path;
            const std::filesystem::path Absolute = std::filesystem::absolute(Path, Error);
            Line.Name = Error ? Path : Absolute.string();
        }
        if (Line.Command != CueCommand::TextFile) {
            Full.push_back(std::move(Line));
        }
    }
    return WriteCueSheet(Full);
}

void CueImage::Take(const CueLine& Line, const SheetCheck& Reader, const DataFileOpener& Open) {
    const std::size_t Number = Line.LineNumber;
    if (!Line.Fault.empty()) {
        Reader.Fail(Number, Line.Fault);
    }
    if (Line.Command == CueCommand::File) {
        FFiles.push_back(Open(Line.Name));
        FLastPosition = 0;
    } else if (Line.Command == CueCommand::Track) {
        if (FFiles.empty()) {
            Reader.Fail(Number, "TRACK before any FILE");
        }
        if (!FTracks.empty() && static_cast<std::uint32_t>(FTracks.back().Number) >= Line.Number) {
            Reader.Fail(Number, "track numbers must rise");
        }
        CueTrack Track;
        Track.Number = static_cast<int>(Line.Number);
        Track.Mode = Line.Type;
        Track.SectorBytes = Line.SectorBytes;
        Track.File = FFiles.size() - 1;
        FTracks.push_back(Track);
    } else if (Line.Command == CueCommand::Index || Line.Command == CueCommand::Pregap ||
               Line.Command == CueCommand::Postgap) {
        if (FTracks.empty()) {
            const char* Keyword = Line.Command == CueCommand::Index    ? "INDEX"
                                  : Line.Command == CueCommand::Pregap ? "PREGAP"
                                                                       : "POSTGAP";
            Reader.Fail(Number, std::string(Keyword) + " before any TRACK");
        }
        CueTrack& Track = FTracks.back();
        if (Line.Command != CueCommand::Index) {
            Track.Gaps += Line.Sectors;
            return;
        }
        if (Track.File != FFiles.size() - 1) {
            Reader.Fail(Number, "the indexes of track " + std::to_string(Track.Number) +
                                    " lie in two data files, which is not supported");
        }
        if (!Track.HasIndex) {
            Track.Start = Line.Sectors;
            Track.HasIndex = true;
        }
        if (Line.Sectors < FLastPosition) {
            Reader.Fail(Number, "the positions of a file's indexes must rise");
        }
        FLastPosition = Line.Sectors;
        Track.Last = Line.Sectors;
        Track.HasIndexOne = Track.HasIndexOne || Line.Number == 1;
    }
}

CueImage CueImage::Of(std::vector<CueLine> Lines, const SheetCheck& Reader,
                      const DataFileOpener& Open) {
    CueImage Image;
    for (const CueLine& Line : Lines) {
        Image.Take(Line, Reader, Open);
        Image.FLineFiles.push_back(Image.FFiles.empty() ? 0 : Image.FFiles.size() - 1);
    }
    Image.FLines = std::move(Lines);
    if (Image.FTracks.empty()) {
        Reader.Fail("names no track");
    }
    Image.CheckSizes(Reader);
    return Image;
}

CueImage CueImage::Read(const std::string& SheetPath) {
    const SheetCheck Reader{SheetPath};
    std::string Reason;
    const std::optional<std::string> Text = ReadSheetFile(SheetPath, Reason);
    if (!Text) {
        Reader.Fail(Reason);
    }
    return Of(ReadCueSheet(*Text), Reader,
              [&Reader](const std::string& Name) { return OpenDataFile(Reader, Name); });
}

} // namespace Recorder
