#include "LibraryWords.hpp"

#include <array>
#include <utility>

namespace Recorder {

namespace {

struct KnownProblem {
    std::string_view Sign; // a part of the library's text
    std::string_view Reason;
};

// The first row whose sign the text holds gives the reason, so more particular signs come first.
constexpr std::array KnownProblems{
    // What ran out comes first: the step that failed for it would blame the disc or a source.
    KnownProblem{"Memory allocation error", "out of memory"},
    KnownProblem{"Out of virtual memory", "out of memory"},
    KnownProblem{"Cannot allocate memory", "out of memory"},
    KnownProblem{"Too many open files",
                 "too many open files (the limit on open files was reached)"},
    KnownProblem{"busy", "the drive is busy: another program or recorder run is using it; try "
                         "again when it has finished"},
    KnownProblem{"Drive is in use", "the drive is busy: another program or recorder run is using "
                                    "it; try again when it has finished"},
    KnownProblem{"Permission denied", "no permission to use it; ask for access to the drive"},
    KnownProblem{"Read-only file system", "it is on a read-only file system"},
    KnownProblem{"No space left", "the file system holding it is full"},
    KnownProblem{"File too large", "the file system holding it takes no file this large"},
    // libisofs converts every Joliet name through iconv; without glibc's converters (the gconv
    // modules) every data disc fails here, which the session's own failure that follows would
    // blame on the disc.
    KnownProblem{"Charset conversion error",
                 "the file names could not be converted to UTF-16 for the Joliet tree: this "
                 "system's character-set converters (glibc's gconv modules) are missing; reinstall "
                 "libc6 and run again"},
    KnownProblem{"Unsuitable target media state",
                 "the disc in the drive cannot be written: it is pressed, closed or holds data; "
                 "put in a blank or rewritable disc"},
    KnownProblem{"Failed to prepare session write run",
                 "the disc in the drive cannot be written: it is pressed, closed or holds data; "
                 "put in a blank or rewritable disc"},
    KnownProblem{"not appendable", "the disc is closed: nothing can be added to it"},
    KnownProblem{"exceeds free space", "the session does not fit in the disc's free space"},
    KnownProblem{"Cannot -tell_media_space", "the drive reports no free space on the disc"},
    KnownProblem{"No media", "there is no disc in the drive"},
    KnownProblem{"no medium", "there is no disc in the drive"},
    KnownProblem{"Cannot acquire drive", "not a drive the recorder can write to"},
    KnownProblem{"not MMC", "not a disc drive (it does not answer as CD and DVD drives do)"},
    KnownProblem{"not a known drive", "not a drive the recorder can write to"},
    KnownProblem{"too long", "a label, artist or title is longer than the disc's field holds"},
    KnownProblem{"can't be opened", "could not be read while it was written; check that it "
                                    "exists and is readable, and run again"},
    KnownProblem{"Read error", "could not be read while it was written (a read error)"},
    KnownProblem{"Premature end", "changed while it was written (it became shorter); run again "
                                  "once nothing changes it"},
    KnownProblem{"Size of file", "changed while it was written (its size changed); run again once "
                                 "nothing changes it"},
    KnownProblem{"MISMATCH", "what was read back differs from what was written"},
    KnownProblem{"No such file or directory", "it does not exist"},
    // libsndfile's reasons. Its text for a file it took for MP3 but could not decode blames a
    // pipe, whatever the file is.
    KnownProblem{"Format not recognised",
                 "is not a sound file the recorder decodes (WAV, FLAC, Ogg Vorbis or MP3)"},
    KnownProblem{"malformed", "is damaged: its sound cannot be decoded"},
    KnownProblem{"unsupported encoding", "uses a sound encoding the recorder cannot decode"},
    KnownProblem{"possibly a pipe", "cannot be decoded as WAV, FLAC, Ogg Vorbis or MP3"},
};

std::string_view GeneralReason(ExitCode Kind) {
    switch (Kind) {
    case ExitCode::Target:
        return "the drive cannot be used (target error)";
    case ExitCode::Medium:
        return "the disc in the drive cannot take this write (medium error)";
    case ExitCode::Fit:
        return "the data does not fit on the disc";
    case ExitCode::Source:
        return "an entry cannot be read (source error)";
    case ExitCode::Verify:
        return "what was read back differs from what was written (verify error)";
    case ExitCode::Done:
    case ExitCode::CommandLine:
    case ExitCode::Write:
    case ExitCode::NotAvailable:
        break;
    }
    return "the write failed (write error)";
}

// The file the text names, which the reason names too: the first path it quotes ('/...' or
// "/..."), else the path after "file " that ends its sentence ("Read error in file /a/b. (...)").
std::string_view NamedPath(std::string_view Text) {
    for (std::size_t At = 0; At + 1 < Text.size(); ++At) {
        const char Quote = Text[At];
        if ((Quote == '\'' || Quote == '"') && Text[At + 1] == '/') {
            const std::size_t End = Text.find(Quote, At + 1);
            if (End != std::string_view::npos) {
                return Text.substr(At + 1, End - At - 1);
            }
        }
    }
    const std::size_t Start = Text.find("file /");
    if (Start == std::string_view::npos) {
        return {};
    }
    std::string_view Path = Text.substr(Start + 5, Text.find(". ", Start) - Start - 5);
    while (!Path.empty() && (Path.back() == '.' || Path.back() == ';')) {
        Path.remove_suffix(1);
    }
    return Path;
}

} // namespace

std::string RecorderReason(std::string_view LibraryText, ExitCode Kind) {
    std::string_view Reason = GeneralReason(Kind);
    for (const KnownProblem& Problem : KnownProblems) {
        if (LibraryText.find(Problem.Sign) != std::string_view::npos) {
            Reason = Problem.Reason;
            break;
        }
    }
    const std::string_view Path = NamedPath(LibraryText);
    return Path.empty() ? std::string(Reason) : std::string(Path) + ": " + std::string(Reason);
}

FailureKind FailureCaseOf(std::string_view LibraryText, ExitCode Kind) {
    struct CaseSign {
        std::string_view Sign;
        ExitCode Code;
        FailureKind Case;
    };
    // Only a sign of the failure's own exit code counts: a busy drive is a target's case, never a
    // medium's.
    constexpr std::array Signs{
        CaseSign{"busy", ExitCode::Target, FailureKind::DriveBusy},
        CaseSign{"Drive is in use", ExitCode::Target, FailureKind::DriveBusy},
        CaseSign{"No media", ExitCode::Medium, FailureKind::NoDisc},
        CaseSign{"no medium", ExitCode::Medium, FailureKind::NoDisc},
        CaseSign{"not appendable", ExitCode::Medium, FailureKind::Closed},
        CaseSign{"not of erasable type", ExitCode::Medium, FailureKind::NotRewritable},
        CaseSign{"Premature end", ExitCode::Source, FailureKind::SourceChanged},
        CaseSign{"Size of file", ExitCode::Source, FailureKind::SourceChanged},
    };
    for (const CaseSign& Known : Signs) {
        if (Known.Code == Kind && LibraryText.find(Known.Sign) != std::string_view::npos) {
            return Known.Case;
        }
    }
    return DefaultKindOf(Kind);
}

bool RanOut(std::string_view LibraryText) {
    for (const std::string_view Sign : {"Memory allocation error", "Out of virtual memory",
                                        "Cannot allocate memory", "Too many open files"}) {
        if (LibraryText.find(Sign) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::string_view NotReadBackReason() {
    return "the written disc could not be read back to check it (verify error); its files may "
           "still be readable: check them with a reader, or write the disc again";
}

std::string SettingName(std::string_view Switch) {
    constexpr std::array<std::pair<std::string_view, std::string_view>, 4> Names{{
        {"--force_erase_disk", "ForceEraseDisk"},
        {"--import", "ContinueSession"},
        {"--detect_non_empty_disk", "DetectNonEmptyDisk"},
        {"--speed", "Speed"},
    }};
    for (const auto& [Known, Property] : Names) {
        if (Known == Switch) {
            return std::string(Property) + " (" + std::string(Switch) + ")";
        }
    }
    return std::string(Switch);
}

} // namespace Recorder
