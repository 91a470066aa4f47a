// A BIN/CUE image given to --image: its sheet read and checked before anything is written (data
// files that exist beside the sheet, known track modes, whole sectors), and the sheets the
// recorder writes from it.
#pragma once

#include "CueSheet.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Recorder {

struct CueDataFile {
    std::string Path; // as the recorder opens it: relative names resolved from the sheet's folder
    std::uint64_t Bytes = 0;
    std::uint64_t Sectors = 0; // its tracks' sectors, and what lies before its first track
};

struct CueTrack {
    int Number = 0;
    std::string Mode; // AUDIO, MODE1/2048, MODE2/2352, ...
    std::uint32_t SectorBytes = 0;
    std::size_t File = 0;    // its data file
    std::uint64_t Start = 0; // its first index, in sectors from its file's start
    std::uint64_t Last = 0;  // its last index, likewise
    std::uint64_t Gaps = 0;  // PREGAP and POSTGAP sectors, which no file holds
    bool HasIndex = false;
    bool HasIndexOne = false;
};

class CueImage {
public:
    struct SheetCheck;
    // What a data file named by the sheet is (its name as the sheet gives it): found, checked and
    // measured, or a source error.
    using DataFileOpener = std::function<CueDataFile(const std::string& Name)>;

    // Reads and checks the sheet, which must be a regular file, as its data files must; throws
    // RecorderFailure (source error) naming the sheet, and the line or data file at fault.
    static CueImage Read(const std::string& SheetPath);
    // Checks the lines of a sheet read from text, its data files found by Open.
    static CueImage Of(std::vector<CueLine> Lines, const SheetCheck& Reader,
                       const DataFileOpener& Open);

    const std::vector<CueDataFile>& Files() const noexcept { return FFiles; }
    const std::vector<CueTrack>& Tracks() const noexcept { return FTracks; }
    // The sectors the disc takes: every file's sectors and the gaps no file holds.
    std::uint64_t Sectors() const;
    // Whether libburn's own reader takes the sheet: one data file of AUDIO and MODE1/2048 tracks.
    bool LibburnWrites() const;

    // The sheet of the files joined into one, named DataName: one FILE line, every later file's
    // positions moved by the sectors before it. CDTEXTFILE lines, which name a file beside the
    // old sheet, are left out (Dropped says whether there were any).
    std::string JoinedSheet(const std::string& DataName, bool& Dropped) const;
    // The same sheet with every data file named by its absolute path, for a writer that may run
    // in another folder.
    std::string SheetWithFullPaths() const;

    // Raises the source errors of one sheet, naming it (and the line or data file at fault).
    struct SheetCheck {
        std::string Sheet;
        [[noreturn]] void Fail(std::size_t LineNumber, const std::string& Reason) const;
        [[noreturn]] void Fail(const std::string& Reason) const;
        [[noreturn]] void FailFile(const std::string& File, const std::string& Reason) const;
    };

private:
    void Take(const CueLine& Line, const SheetCheck& Reader, const DataFileOpener& Open);
    void CheckSizes(const SheetCheck& Reader);

    std::vector<CueDataFile> FFiles;
    std::vector<CueTrack> FTracks;
    std::vector<CueLine> FLines;
    std::vector<std::size_t> FLineFiles; // the data file each line follows
    std::uint64_t FLastPosition = 0;     // of the current data file's indexes
};

} // namespace Recorder
