// CUE sheets: the text that makes raw 2,352-byte sectors a CD (audio CDs, Video CDs, Super Video
// CDs and BIN/CUE images). One reader turns a sheet's text into lines, one writer turns lines back
// into text, and the path rules say where a virtual disc of raw sectors keeps its sheet. Every
// sheet the recorder reads or writes goes through these, so a sheet it writes is one it can read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Recorder {

// --- Where a sheet lies -------------------------------------------------------------------------

// The CUE sheet of a virtual disc's data file: the file name with its last extension replaced by
// ".cue", or ".cue" added when the name has none. A data file that itself ends in ".cue" (in any
// case) would be its own sheet, and one whose name holds a double quote or a line break cannot be
// named by a sheet: both are target errors (RecorderFailure), raised before anything is written.
std::string CueSheetPathOf(const std::string& DataFile);

// Whether a file's name ends in ".cue", in any case: a CUE sheet's.
bool IsCueSheetName(std::string_view Path);

// The bare file name the sheet names its data file by (its "FILE" line).
std::string BareNameOf(const std::string& Path);

// The CUE sheet beside a data file; none for a file no sheet can belong to (see CueSheetPathOf).
std::optional<std::string> SheetBeside(const std::string& DataFile);

// The scratch file a new CUE sheet is written to beside the disc, given the data file's scratch.
std::string SheetScratchOf(const std::string& Scratch);

// Whether the file at Sheet is a CUE sheet whose FILE line names DataFile (by its bare name).
bool SheetNames(const std::string& Sheet, const std::string& DataFile);

// Whether a virtual disc's file holds a disc of raw sectors: not empty, and named by its sheet.
bool HoldsRawSession(const std::string& DataFile);

// The text of a sheet file, which must be a regular file: a FIFO or a device is refused without
// waiting for it, as is a file larger than any sheet. None, with the reason, when it cannot be
// read.
std::optional<std::string> ReadSheetFile(const std::string& Path, std::string& Reason);

// Opens a regular file for reading without waiting: a FIFO or a device is refused, never opened
// for a read that could block. The descriptor, or -1 with the reason.
int OpenRegularFile(const std::string& Path, std::string& Reason);

// --- Text a sheet carries -----------------------------------------------------------------------

// Text as a CUE sheet's quoted value carries it: a double quote becomes an apostrophe and a line
// break (CR or LF) a blank. Changed says whether anything was replaced, so that the run can say so.
std::string CueText(std::string_view Text, bool& Changed);

// Whether a sheet can carry Text as a quoted value unchanged: no double quote, no line break.
bool CueCanCarry(std::string_view Text);

// "mm:ss:ff" of a sector count (75 sectors a second), as INDEX and PREGAP lines give positions.
std::string CueTime(std::uint64_t Sectors);

// --- A sheet as lines ---------------------------------------------------------------------------

enum class CueCommand : std::uint8_t {
    Blank,    // nothing but blanks
    File,     // FILE "name" TYPE
    Track,    // TRACK nn MODE
    Index,    // INDEX nn mm:ss:ff
    Pregap,   // PREGAP mm:ss:ff
    Postgap,  // POSTGAP mm:ss:ff
    TextFile, // CDTEXTFILE "name": a file beside the sheet
    Other,    // CATALOG, FLAGS, ISRC, PERFORMER, TITLE, SONGWRITER, REM: kept as they stand
    Unknown,  // any other command (always a fault)
};

struct CueLine {
    CueCommand Command = CueCommand::Blank;
    std::size_t LineNumber = 0;    // from 1, in the text it was read from
    std::string Text;              // the line as it stood, without its line end
    std::string Name;              // FILE: the data file
    std::string Type;              // FILE: BINARY, WAVE, ... (upper case); TRACK: its mode
    std::uint32_t Number = 0;      // TRACK and INDEX
    std::uint32_t SectorBytes = 0; // TRACK: the size of its mode's sectors
    std::uint64_t Sectors = 0;     // INDEX, PREGAP, POSTGAP: the time in sectors
    std::string Fault;             // why the line is not one the recorder takes; empty if it is

    static CueLine FileLine(std::string Name);
    static CueLine TrackLine(std::uint32_t Number, std::string Mode);
    static CueLine IndexLine(std::uint32_t Number, std::uint64_t Sectors);
    // KEYWORD "Value", a value that CueCanCarry.
    static CueLine QuotedLine(std::string_view Keyword, std::string_view Value);
};

// Every line of the text (LF or CR LF line ends; a UTF-8 byte-order mark before the first is
// dropped). A line the recorder does not take carries its Fault; the reader itself never fails.
// Positions are 32-bit sector addresses, as drives take them: a time beyond that is a fault, so
// that no sum or product of positions can overflow.
std::vector<CueLine> ReadCueSheet(std::string_view Text);

// The text of the lines: FILE, TRACK, INDEX, PREGAP and POSTGAP lines without a fault written from
// their fields, every other line as it stands. A FILE name the sheet cannot carry (CueCanCarry) is
// a source error (RecorderFailure): a sheet that names another file than meant is never written.
std::string WriteCueSheet(std::span<const CueLine> Lines);

} // namespace Recorder
