// Where a virtual disc keeps its CUE sheet, and how sheet files are opened and read.
#include "CueSheet.hpp"

#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

namespace {

// Sheets are small text files; anything larger is not a sheet.
constexpr std::uintmax_t LargestSheet = 1 << 20;

} // namespace

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
    // The sheet would name another file than this one, which no reader could find again.
    if (!CueCanCarry(Name)) {
        throw RecorderFailure(ExitCode::Target, DataFile +
                                                    ": a CUE sheet cannot name a file whose name "
                                                    "holds a double quote or a line break");
    }
    const std::string Folder = DataFile.substr(0, DataFile.size() - Name.size());
    const std::size_t Dot = Name.find_last_of('.');
    // A leading dot starts a hidden file's name, not an extension.
    const std::string Stem = Dot == std::string::npos || Dot == 0 ? Name : Name.substr(0, Dot);
    return Folder + Stem + ".cue";
}

std::optional<std::string> SheetBeside(const std::string& DataFile) {
    try {
        return CueSheetPathOf(DataFile);
    } catch (const RecorderFailure&) {
        return std::nullopt;
    }
}

std::string SheetScratchOf(const std::string& Scratch) {
    return Scratch + ".cue";
}

int OpenRegularFile(const std::string& Path, std::string& Reason) {
    struct stat Info {};
    if (::stat(Path.c_str(), &Info) != 0) {
        Reason = std::strerror(errno);
        return -1;
    }
    // Opening a FIFO for reading waits for a writer; a device may do anything. Neither is opened.
    if (!S_ISREG(Info.st_mode)) {
        Reason = "is not a regular file";
        return -1;
    }
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) {
        Reason = std::strerror(errno);
        return -1;
    }
    // The name may have been given to something else since the look above: what was opened counts.
    if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        Reason = "is not a regular file";
        ::close(Fd);
        return -1;
    }
    (void)::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK);
    return Fd;
}

std::optional<std::string> ReadSheetFile(const std::string& Path, std::string& Reason) {
    const FileDescriptor File(OpenRegularFile(Path, Reason));
    struct stat Info {};
    if (File.Get() < 0) {
        return std::nullopt;
    }
    if (::fstat(File.Get(), &Info) != 0 ||
        static_cast<std::uintmax_t>(Info.st_size) > LargestSheet) {
        Reason = "is larger than any CUE sheet";
        return std::nullopt;
    }
    std::string Text;
    char Buffer[16384];
    for (;;) {
        const ssize_t Got = ::read(File.Get(), Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        if (Got < 0) {
            Reason = std::strerror(errno);
            return std::nullopt;
        }
        if (Got == 0 || Text.size() > LargestSheet) {
            break;
        }
        Text.append(Buffer, static_cast<std::size_t>(Got));
    }
    return Text;
}

bool SheetNames(const std::string& Sheet, const std::string& DataFile) {
    std::string Reason;
    const std::optional<std::string> Text = ReadSheetFile(Sheet, Reason);
    if (!Text) {
        return false;
    }
    const std::string Bare = BareNameOf(DataFile);
    for (const CueLine& Line : ReadCueSheet(*Text)) {
        if (Line.Command == CueCommand::File && Line.Name == Bare) {
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

} // namespace Recorder
