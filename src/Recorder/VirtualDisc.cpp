// Erase and eject, and what a virtual disc's file says about the disc.
#include "DiscKind.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RecorderFailure.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Recorder {

namespace {

[[noreturn]] void WriteFailed(const Target& Where, const std::string& What) {
    throw RecorderFailure(ExitCode::Write,
                          Where.Describe() + ": " + What + ": " + std::strerror(errno));
}

void OverwriteWithZeros(const WriteContext& Context, int Fd, off_t Size) {
    static const std::array<char, 1 << 20> Zeros{};
    off_t Done = 0;
    while (Done < Size) {
        const auto Chunk = static_cast<std::size_t>(
            std::min<off_t>(static_cast<off_t>(Zeros.size()), Size - Done));
        const ssize_t Written = ::pwrite(Fd, Zeros.data(), Chunk, Done);
        if (Written <= 0) {
            WriteFailed(Context.Where, "cannot overwrite the image");
        }
        Done += Written;
        Context.Report.Update(100.0 * static_cast<double>(Done) / static_cast<double>(Size));
    }
    if (::fsync(Fd) != 0) {
        WriteFailed(Context.Where, "cannot overwrite the image");
    }
}

} // namespace

void PutInPlace(const WriteContext& Context) {
    if (std::rename(Context.Scratch.c_str(), Context.Where.Path.c_str()) != 0) {
        WriteFailed(Context.Where, "cannot put the new disc in place");
    }
    // The folder's entry is what a crash right after the move would otherwise lose.
    const FileDescriptor Folder(
        ::open(FolderOf(Context.Where.Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Folder.Get() >= 0) {
        (void)::fsync(Folder.Get());
    }
}

std::uint64_t CopyAll(const WriteContext& Context, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied) {
    std::vector<char> Buffer(std::size_t{1} << 20U);
    std::uint64_t Total = 0;
    for (;;) {
        const ssize_t Got = ::read(From, Buffer.data(), Buffer.size());
        if (Got < 0) {
            throw RecorderFailure(ExitCode::Source, Source + ": " + std::strerror(errno));
        }
        if (Got == 0) {
            return Total;
        }
        for (ssize_t Put = 0; Put < Got;) {
            const ssize_t Written =
                ::write(To, Buffer.data() + Put, static_cast<std::size_t>(Got - Put));
            if (Written < 0) {
                throw RecorderFailure(ExitCode::Write,
                                      Context.Where.Describe() + ": " + std::strerror(errno));
            }
            Put += Written;
        }
        Total += static_cast<std::uint64_t>(Got);
        Copied(static_cast<std::uint64_t>(Got));
    }
}

bool HoldsSession(const std::string& Path) {
    return KindOfVirtualDisc(Path) != VirtualDiscKind::Blank;
}

void EraseDisc(const WriteContext& Context) {
    const Target& Where = Context.Where;
    Context.Report.Begin("erasing");
    if (Where.RealDrive) {
        XorrisoSession Session(Context.Report, Where.Describe());
        Session.Require({"-outdev", Where.Path}, ExitCode::Target);
        Session.Require({"-blank", Context.Ask.EntireErase ? "all" : "fast"}, ExitCode::Medium);
        Context.Report.End();
        return;
    }
    if (!Where.Exists) {
        RemoveSheetOf(Where);
        Context.Report.End();
        Context.Report.Say("erased " + Where.Describe() + ": it was blank (no image file)");
        return;
    }
    const FileDescriptor File(::open(Where.Path.c_str(), O_WRONLY | O_CLOEXEC));
    if (File.Get() < 0) {
        WriteFailed(Where, "cannot open the image");
    }
    if (Context.Ask.EntireErase) {
        struct stat Info {};
        if (::fstat(File.Get(), &Info) != 0) {
            WriteFailed(Where, "cannot read the image's size");
        }
        OverwriteWithZeros(Context, File.Get(), Info.st_size);
    }
    if (::ftruncate(File.Get(), 0) != 0 || ::fsync(File.Get()) != 0) {
        WriteFailed(Where, "cannot erase the image");
    }
    RemoveSheetOf(Where);
    Context.Report.End();
    Context.Report.Say("erased " + Where.Describe() +
                       (Context.Ask.EntireErase ? " in full" : ", quickly"));
}

void EjectDisc(const WriteContext& Context) {
    const Target& Where = Context.Where;
    if (!Where.RealDrive) {
        Context.Report.Say(Where.Describe() + " is a virtual disc: nothing to eject");
        return;
    }
    XorrisoSession Session(Context.Report, Where.Describe());
    Session.Require({"-dev", Where.Path}, ExitCode::Target);
    Session.Require({"-eject", "all"}, ExitCode::Target);
    Context.Report.Say("ejected " + Where.Describe());
}

} // namespace Recorder
