#include "CueSheet.hpp"

#include "DiscGeometry.hpp"
#include "RecorderFailure.hpp"

#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

namespace Recorder {

namespace {

constexpr std::uint64_t SectorsPerMinute = 60 * SectorsPerSecond;
// Drives and the writing programs take 32-bit sector addresses.
constexpr std::uint64_t LastPosition = 0xFFFFFFFFU;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view UncarriableName =
    "a CUE sheet cannot name a file whose name holds a double quote or a line break";

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

constexpr std::array<std::string_view, 7> KeptAsTheyStand{
    "CATALOG", "FLAGS", "ISRC", "PERFORMER", "TITLE", "SONGWRITER", "REM"};

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

// A decimal number of at most Limit; from_chars refuses one that overflows, signs and blanks.
bool WholeNumber(std::string_view Text, std::uint64_t Limit, std::uint64_t& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return !Text.empty() && Error == std::errc() && End == Text.data() + Text.size() &&
           Value <= Limit;
}

// "mm:ss:ff" in sectors; a fault when the text is no such time or lies past the last address.
std::string SectorsOfTime(std::string_view Text, std::uint64_t& Sectors) {
    const std::size_t First = Text.find(':');
    const std::size_t Second = Text.find(':', First == std::string_view::npos ? 0 : First + 1);
    std::uint64_t Minutes = 0;
    std::uint64_t Seconds = 0;
    std::uint64_t Frames = 0;
    if (First == std::string_view::npos || Second == std::string_view::npos ||
        !WholeNumber(Text.substr(First + 1, Second - First - 1), 59, Seconds) ||
        !WholeNumber(Text.substr(Second + 1), SectorsPerSecond - 1, Frames) ||
        !WholeNumber(Text.substr(0, First), UINT64_MAX, Minutes)) {
        return "a time is mm:ss:ff";
    }
    if (Minutes > LastPosition / SectorsPerMinute ||
        Minutes * SectorsPerMinute + Seconds * SectorsPerSecond + Frames > LastPosition) {
        return "the time " + std::string(Text) + " lies past the end of any disc";
    }
    Sectors = Minutes * SectorsPerMinute + Seconds * SectorsPerSecond + Frames;
    return {};
}

// Reads the fields of a line whose command is known into Line; returns the fault, if any.
std::string ReadFields(CueLine& Line, const std::vector<std::string>& Words) {
    std::uint64_t Number = 0;
    switch (Line.Command) {
    case CueCommand::File:
        Line.Name = Words.size() > 1 ? Words[1] : std::string();
        Line.Type = Words.size() > 2 ? Upper(Words[2]) : std::string();
        if (Words.size() != 3 || Line.Type != "BINARY") {
            return "a FILE line names one data file of raw sectors (BINARY)";
        }
        return CueCanCarry(Line.Name) ? std::string() : std::string(UncarriableName);
    case CueCommand::Track:
        if (Words.size() != 3 || !WholeNumber(Words[1], 99, Number) || Number == 0) {
            return "a TRACK line gives a number from 1 to 99 and a mode";
        }
        Line.Number = static_cast<std::uint32_t>(Number);
        Line.Type = Upper(Words[2]);
        for (const ModeSize& Known : Modes) {
            Line.SectorBytes = Known.Mode == Line.Type ? Known.Bytes : Line.SectorBytes;
        }
        return Line.SectorBytes == 0 ? "unknown track mode " + Words[2] : std::string();
    case CueCommand::Index:
        if (Words.size() != 3 || !WholeNumber(Words[1], 99, Number)) {
            return "an INDEX line gives a number and a time mm:ss:ff";
        }
        Line.Number = static_cast<std::uint32_t>(Number);
        return SectorsOfTime(Words[2], Line.Sectors);
    case CueCommand::Pregap:
    case CueCommand::Postgap:
        if (Words.size() != 2) {
            return Upper(Words[0]) + " gives a time mm:ss:ff";
        }
        return SectorsOfTime(Words[1], Line.Sectors);
    case CueCommand::Unknown:
        return "unknown command " + Words[0];
    case CueCommand::Blank:
    case CueCommand::TextFile:
    case CueCommand::Other:
        break;
    }
    return {};
}

CueCommand CommandOf(const std::string& Keyword) {
    static constexpr std::array<std::pair<std::string_view, CueCommand>, 6> Commands{
        {{"FILE", CueCommand::File},
         {"TRACK", CueCommand::Track},
         {"INDEX", CueCommand::Index},
         {"PREGAP", CueCommand::Pregap},
         {"POSTGAP", CueCommand::Postgap},
         {"CDTEXTFILE", CueCommand::TextFile}}};
    for (const auto& [Name, Command] : Commands) {
        if (Keyword == Name) {
            return Command;
        }
    }
    for (const std::string_view Kept : KeptAsTheyStand) {
        if (Keyword == Kept) {
            return CueCommand::Other;
        }
    }
    return CueCommand::Unknown;
}

std::string TwoDigits(std::uint32_t Number) {
    std::string Text = std::to_string(Number);
    if (Text.size() < 2) {
        Text.insert(Text.begin(), '0');
    }
    return Text;
}

std::string LineText(const CueLine& Line) {
    if (!Line.Fault.empty()) {
        return Line.Text;
    }
    switch (Line.Command) {
    case CueCommand::File:
        if (!CueCanCarry(Line.Name)) {
            throw RecorderFailure(ExitCode::Source,
                                  Line.Name + ": " + std::string(UncarriableName));
        }
        return "FILE \"" + Line.Name + "\" " + (Line.Type.empty() ? "BINARY" : Line.Type);
    case CueCommand::Track:
        return "  TRACK " + TwoDigits(Line.Number) + " " + Line.Type;
    case CueCommand::Index:
        return "    INDEX " + TwoDigits(Line.Number) + " " + CueTime(Line.Sectors);
    case CueCommand::Pregap:
        return "    PREGAP " + CueTime(Line.Sectors);
    case CueCommand::Postgap:
        return "    POSTGAP " + CueTime(Line.Sectors);
    case CueCommand::Blank:
    case CueCommand::TextFile:
    case CueCommand::Other:
    case CueCommand::Unknown:
        break;
    }
    return Line.Text;
}

} // namespace

CueLine CueLine::FileLine(std::string Name) {
    CueLine Line;
    Line.Command = CueCommand::File;
    Line.Name = std::move(Name);
    Line.Type = "BINARY";
    return Line;
}

CueLine CueLine::TrackLine(std::uint32_t Number, std::string Mode) {
    CueLine Line;
    Line.Command = CueCommand::Track;
    Line.Number = Number;
    Line.Type = std::move(Mode);
    return Line;
}

CueLine CueLine::IndexLine(std::uint32_t Number, std::uint64_t Sectors) {
    CueLine Line;
    Line.Command = CueCommand::Index;
    Line.Number = Number;
    Line.Sectors = Sectors;
    return Line;
}

CueLine CueLine::QuotedLine(std::string_view Keyword, std::string_view Value) {
    CueLine Line;
    Line.Command = CueCommand::Other;
    Line.Text = std::string(Keyword) + " \"" + std::string(Value) + "\"";
    return Line;
}

std::vector<CueLine> ReadCueSheet(std::string_view Text) {
    std::vector<CueLine> Lines;
    std::size_t Number = 0;
    while (!Text.empty()) {
        const std::size_t End = Text.find('\n');
        std::string_view Raw = Text.substr(0, End);
        Text = End == std::string_view::npos ? std::string_view() : Text.substr(End + 1);
        while (Raw.ends_with('\r')) {
            Raw.remove_suffix(1);
        }
        ++Number;
        while (Number == 1 && Raw.starts_with(ByteOrderMark)) {
            Raw.remove_prefix(ByteOrderMark.size());
        }
        CueLine Line;
        Line.LineNumber = Number;
        Line.Text = std::string(Raw);
        const std::vector<std::string> Words = WordsOf(Raw);
        if (!Words.empty()) {
            Line.Command = CommandOf(Upper(Words[0]));
            Line.Fault = ReadFields(Line, Words);
        }
        Lines.push_back(std::move(Line));
    }
    return Lines;
}

std::string WriteCueSheet(std::span<const CueLine> Lines) {
    std::string Sheet;
    for (const CueLine& Line : Lines) {
        Sheet += LineText(Line) + "\n";
    }
    return Sheet;
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

bool CueCanCarry(std::string_view Text) {
    return Text.find_first_of("\"\r\n") == std::string_view::npos;
}

std::string CueTime(std::uint64_t Sectors) {
    char Text[32];
    (void)std::snprintf(
        Text, sizeof Text, "%02llu:%02llu:%02llu",
        static_cast<unsigned long long>(Sectors / SectorsPerMinute),
        static_cast<unsigned long long>(Sectors % SectorsPerMinute / SectorsPerSecond),
        static_cast<unsigned long long>(Sectors % SectorsPerSecond));
    return Text;
}

} // namespace Recorder
