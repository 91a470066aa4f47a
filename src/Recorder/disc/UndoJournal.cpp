#include "UndoJournal.hpp"

#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace Recorder {

namespace {

constexpr std::array<char, 8> Opening{'Q', 'B', 'U', 'N', 'D', 'O', '0', '1'};
constexpr std::array<char, 8> Closing{'Q', 'B', 'U', 'N', 'D', 'E', 'N', 'D'};
constexpr std::uint32_t PutBackAction = 1;
constexpr std::uint32_t EmptyAction = 2;
constexpr off_t HeadBytes = off_t{64} * 1024;
constexpr off_t TailBytes = off_t{1024} * 1024;
constexpr std::size_t ChunkBytes = std::size_t{1} << 20;

struct Header {
    std::array<char, 8> Magic = Opening;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::uint32_t Action = 0;
    std::uint32_t Segments = 0;
};

struct Segment {
    std::uint64_t Offset = 0;
    std::uint64_t Length = 0;
};

bool ReadAt(int Fd, void* Into, std::size_t Bytes, off_t At) {
    auto* Bytes8 = static_cast<char*>(Into);
    std::size_t Done = 0;
    while (Done < Bytes) {
        const ssize_t Got = ::pread(Fd, Bytes8 + Done, Bytes - Done, At + static_cast<off_t>(Done));
        if (Got <= 0 && !(Got < 0 && errno == EINTR)) {
            return false;
        }
        Done += Got > 0 ? static_cast<std::size_t>(Got) : 0;
    }
    return true;
}

bool WriteAt(int Fd, const void* From, std::size_t Bytes, off_t At) {
    const auto* Bytes8 = static_cast<const char*>(From);
    std::size_t Done = 0;
    while (Done < Bytes) {
        const ssize_t Put =
            ::pwrite(Fd, Bytes8 + Done, Bytes - Done, At + static_cast<off_t>(Done));
        if (Put <= 0 && !(Put < 0 && errno == EINTR)) {
            return false;
        }
        Done += Put > 0 ? static_cast<std::size_t>(Put) : 0;
    }
    return true;
}

// Where the volume the disc's newest descriptors announce ends (a new session starts there), or
// the file's size when they cannot be read.
off_t VolumeEnd(int Fd, off_t Size) {
    constexpr off_t DescriptorAt = off_t{16} * 2048;
    std::array<unsigned char, 2048> Descriptor{};
    if (Size < DescriptorAt + 2048 ||
        !ReadAt(Fd, Descriptor.data(), Descriptor.size(), DescriptorAt) || Descriptor[0] != 1 ||
        std::memcmp(&Descriptor[1], "CD001", 5) != 0) {
        return Size;
    }
    // Both-endian numbers: the little-endian half first.
    const auto Byte = [&Descriptor](std::size_t At, unsigned Shift) {
        return std::uint64_t{Descriptor.at(At)} << Shift;
    };
    const std::uint64_t Blocks = Byte(80, 0) | Byte(81, 8) | Byte(82, 16) | Byte(83, 24);
    const std::uint64_t BlockBytes = Byte(128, 0) | Byte(129, 8);
    return static_cast<off_t>(
        std::min<std::uint64_t>(Blocks * BlockBytes, static_cast<std::uint64_t>(Size)));
}

// The parts of a disc of Size bytes an append may change.
std::vector<Segment> AppendSegments(int Fd, off_t Size) {
    const off_t HeadEnd = std::min(HeadBytes, Size);
    const off_t TailStart =
        std::max(HeadEnd, std::min(VolumeEnd(Fd, Size), Size - std::min(Size, TailBytes)));
    std::vector<Segment> Parts{{0, static_cast<std::uint64_t>(HeadEnd)}};
    if (TailStart < Size) {
        Parts.push_back(
            {static_cast<std::uint64_t>(TailStart), static_cast<std::uint64_t>(Size - TailStart)});
    }
    return Parts;
}

// Walks Part in chunks of at most ChunkBytes, its bytes kept in the journal from JournalAt on:
// Step gets each chunk's size and where it lies on the disc and in the journal. JournalAt ends
// past the part.
template <typename ChunkStep>
bool ForEachChunk(const Segment& Part, off_t& JournalAt, const ChunkStep& Step) {
    for (std::uint64_t Done = 0; Done < Part.Length;) {
        const auto Bytes =
            static_cast<std::size_t>(std::min<std::uint64_t>(ChunkBytes, Part.Length - Done));
        if (!Step(Bytes, static_cast<off_t>(Part.Offset + Done), JournalAt)) {
            return false;
        }
        Done += Bytes;
        JournalAt += static_cast<off_t>(Bytes);
    }
    return true;
}

// Copies the parts of the disc into the journal after its header.
bool CopySegments(int DiscFd, int JournalFd, const std::vector<Segment>& Parts, off_t& At) {
    std::vector<char> Buffer(ChunkBytes);
    for (const Segment& Part : Parts) {
        if (!WriteAt(JournalFd, &Part, sizeof Part, At)) {
            return false;
        }
        At += static_cast<off_t>(sizeof Part);
        const bool Copied =
            ForEachChunk(Part, At, [&](std::size_t Bytes, off_t DiscAt, off_t JournalAt) {
                return ReadAt(DiscFd, Buffer.data(), Bytes, DiscAt) &&
                       WriteAt(JournalFd, Buffer.data(), Bytes, JournalAt);
            });
        if (!Copied) {
            return false;
        }
    }
    return true;
}

void WriteJournal(int DiscFd, const std::string& JournalPath, const std::string& Subject,
                  std::uint32_t Action) {
    struct stat Info {};
    const FileDescriptor Journal(
        ::open(JournalPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    bool Kept = Journal.Get() >= 0 && ::fstat(DiscFd, &Info) == 0;
    if (Kept) {
        const std::vector<Segment> Parts =
            Action == PutBackAction ? AppendSegments(DiscFd, Info.st_size) : std::vector<Segment>{};
        const Header Head{Opening,     Info.st_dev,
                          Info.st_ino, static_cast<std::uint64_t>(Info.st_size),
                          Action,      static_cast<std::uint32_t>(Parts.size())};
        off_t At = sizeof Head;
        Kept = WriteAt(Journal.Get(), &Head, sizeof Head, 0) &&
               CopySegments(DiscFd, Journal.Get(), Parts, At) &&
               WriteAt(Journal.Get(), Closing.data(), Closing.size(), At) &&
               ::fsync(Journal.Get()) == 0;
    }
    if (!Kept) {
        throw RecorderFailure(ExitCode::Write, Subject +
                                                   ": cannot keep what the run may change of the "
                                                   "disc, to put it back should the run fail (" +
                                                   JournalPath + ": " + std::strerror(errno) +
                                                   "); nothing was written");
    }
}

// Whether the journal is whole: a recorder killed while writing it had not touched the disc yet.
bool Complete(int Fd, const Header& Head) {
    off_t At = sizeof Head;
    for (std::uint32_t Index = 0; Index < Head.Segments; ++Index) {
        Segment Part;
        if (!ReadAt(Fd, &Part, sizeof Part, At)) {
            return false;
        }
        At += static_cast<off_t>(sizeof Part + Part.Length);
    }
    std::array<char, 8> End{};
    return ReadAt(Fd, End.data(), End.size(), At) && End == Closing;
}

// Writes back the journal's bytes where the disc's differ.
bool PutBackSegments(int JournalFd, int DiscFd, const Header& Head) {
    std::vector<char> Kept(ChunkBytes);
    std::vector<char> Now(ChunkBytes);
    off_t At = sizeof Head;
    for (std::uint32_t Index = 0; Index < Head.Segments; ++Index) {
        Segment Part;
        if (!ReadAt(JournalFd, &Part, sizeof Part, At)) {
            return false;
        }
        At += static_cast<off_t>(sizeof Part);
        const bool PutBack =
            ForEachChunk(Part, At, [&](std::size_t Bytes, off_t DiscAt, off_t JournalAt) {
                if (!ReadAt(JournalFd, Kept.data(), Bytes, JournalAt)) {
                    return false;
                }
                const bool Same = ReadAt(DiscFd, Now.data(), Bytes, DiscAt) &&
                                  std::memcmp(Now.data(), Kept.data(), Bytes) == 0;
                return Same || WriteAt(DiscFd, Kept.data(), Bytes, DiscAt);
            });
        if (!PutBack) {
            return false;
        }
    }
    return true;
}

} // namespace

void KeepForAppend(int DiscFd, const std::string& JournalPath, const std::string& Subject) {
    WriteJournal(DiscFd, JournalPath, Subject, PutBackAction);
}

void KeepForErase(int DiscFd, const std::string& JournalPath, const std::string& Subject) {
    WriteJournal(DiscFd, JournalPath, Subject, EmptyAction);
}

UndoOutcome Undo(const std::string& JournalPath, const std::string& DiscPath, int DiscFd) noexcept {
    const FileDescriptor Journal(::open(JournalPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    Header Head;
    if (Journal.Get() < 0 || !ReadAt(Journal.Get(), &Head, sizeof Head, 0) ||
        Head.Magic != Opening || !Complete(Journal.Get(), Head)) {
        return UndoOutcome::NoJournal;
    }
    const FileDescriptor Opened(
        DiscFd >= 0 ? -1 : ::open(DiscPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int Disc = DiscFd >= 0 ? DiscFd : Opened.Get();
    struct stat Info {};
    if (Disc < 0 || ::fstat(Disc, &Info) != 0) {
        return errno == ENOENT ? UndoOutcome::NotThisDisc : UndoOutcome::Failed;
    }
    if (Info.st_dev != Head.Device || Info.st_ino != Head.Inode || !S_ISREG(Info.st_mode)) {
        return UndoOutcome::NotThisDisc;
    }
    if (Head.Action == EmptyAction) {
        return ::ftruncate(Disc, 0) == 0 && ::fsync(Disc) == 0 ? UndoOutcome::Emptied
                                                               : UndoOutcome::Failed;
    }
    const auto Size = static_cast<off_t>(Head.Size);
    const bool Restored = PutBackSegments(Journal.Get(), Disc, Head) &&
                          (Info.st_size == Size || ::ftruncate(Disc, Size) == 0) &&
                          ::fsync(Disc) == 0;
    return Restored ? UndoOutcome::PutBack : UndoOutcome::Failed;
}

} // namespace Recorder
