// FileStamps (Sources.hpp): the files a session reads, kept compactly and looked at again after
// the write.
#include "Sources.hpp"

#include "WritingThreads.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

namespace Recorder {

namespace {

// Below this many files a second thread costs more than it saves.
constexpr std::size_t FilesPerThread = 4096;
constexpr unsigned MostThreads = 4;

// The folder the files being looked at are in, open while they are.
class FolderAt {
public:
    FolderAt() = default;
    ~FolderAt() { Close(); }
    FolderAt(const FolderAt&) = delete;
    FolderAt& operator=(const FolderAt&) = delete;
    FolderAt(FolderAt&&) = delete;
    FolderAt& operator=(FolderAt&&) = delete;

    // The descriptor to look up names in Path with ("" is the working folder); -1 when the
    // folder cannot be opened, which its files then count as changed.
    int Open(std::uint32_t Index, const std::string& Path) {
        if (Index != FIndex) {
            Close();
            FIndex = Index;
            FDescriptor =
                Path.empty() ? AT_FDCWD : ::open(Path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        return FDescriptor;
    }

private:
    void Close() {
        if (FDescriptor >= 0) {
            ::close(FDescriptor);
        }
        FDescriptor = -1;
    }

    std::uint32_t FIndex = std::numeric_limits<std::uint32_t>::max();
    int FDescriptor = -1;
};

} // namespace

std::int64_t ModifiedNs(const struct stat& Info) {
    return std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec;
}

void FileStamps::Add(const std::string& Path, std::uintmax_t Size, std::int64_t ModifiedNs) {
    // The folder part keeps its slash ("" for a bare name, "/" for a file at the root).
    const std::size_t NameAt = Path.rfind('/') + 1; // 0 when there is no slash
    Add(Path.substr(0, NameAt), std::string_view(Path).substr(NameAt), Size, ModifiedNs);
}

void FileStamps::Add(const std::string& Folder, std::string_view Name, std::uintmax_t Size,
                     std::int64_t ModifiedNs) {
    // A walk gives a folder's files one after another: its path is kept once for them.
    if (FFolders.empty() || FFolders.back() != Folder) {
        FFolders.push_back(Folder);
    }
    FFiles.push_back({static_cast<std::uint32_t>(FFolders.size() - 1),
                      static_cast<std::uint32_t>(FNames.size()), Size, ModifiedNs});
    FNames.append(Name);
    FNames.push_back('\0');
}

std::string FileStamps::PathOf(const File& Stamp) const {
    return FFolders[Stamp.Folder] + (FNames.c_str() + Stamp.NameAt);
}

std::size_t FileStamps::FirstChangedIn(std::size_t From, std::size_t To) const {
    FolderAt Folder;
    for (std::size_t Index = From; Index < To; ++Index) {
        const File& Before = FFiles[Index];
        const int In = Folder.Open(Before.Folder, FFolders[Before.Folder]);
        struct stat Info {};
        const bool Same = In != -1 &&
                          ::fstatat(In, FNames.c_str() + Before.NameAt, &Info, 0) == 0 &&
                          static_cast<std::uintmax_t>(Info.st_size) == Before.Size &&
                          ModifiedNs(Info) == Before.ModifiedNs;
        if (!Same) {
            return Index;
        }
    }
    return To;
}

std::optional<std::string> FileStamps::FirstChanged() const {
    const std::size_t Count = FFiles.size();
    const auto Threads = static_cast<std::size_t>(std::clamp<std::size_t>(
        Count / FilesPerThread, 1, std::min(ProcessorsOfThisProcess(), MostThreads)));
    // Each share answers with its first changed file; the first of those is the list's first.
    std::vector<std::size_t> Firsts(Threads, Count);
    const auto Check = [&](std::size_t Share) {
        const std::size_t From = Count * Share / Threads;
        const std::size_t To = Count * (Share + 1) / Threads;
        const std::size_t Found = FirstChangedIn(From, To);
        Firsts[Share] = Found == To ? Count : Found;
    };
    std::vector<std::thread> Helpers;
    for (std::size_t Share = 1; Share < Threads; ++Share) {
        try {
            Helpers.emplace_back(Check, Share);
        } catch (const std::system_error&) {
            Check(Share); // no room for a thread: this one looks at that share too
        }
    }
    Check(0);
    for (std::thread& Helper : Helpers) {
        Helper.join();
    }
    const std::size_t First = *std::min_element(Firsts.begin(), Firsts.end());
    if (First == Count) {
        return std::nullopt;
    }
    return PathOf(FFiles[First]);
}

} // namespace Recorder
