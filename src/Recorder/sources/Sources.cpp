#include "Sources.hpp"

#include "DiscGeometry.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

namespace Recorder {

namespace {

std::string NameOf(const std::string& Path) {
    std::string_view Text = Path;
    while (Text.size() > 1 && Text.back() == '/') {
        Text.remove_suffix(1);
    }
    const std::size_t Slash = Text.find_last_of('/');
    return std::string(Slash == std::string_view::npos ? Text : Text.substr(Slash + 1));
}

std::string Absolute(const std::string& Path) {
    std::error_code Error;
    std::filesystem::path Full = std::filesystem::absolute(Path, Error);
    if (Error) {
        return Path;
    }
    std::string Text = Full.lexically_normal().string();
    while (Text.size() > 1 && Text.back() == '/') {
        Text.pop_back();
    }
    return Text;
}

// Per item: an ISO 9660 and a Joliet directory record, Rock Ridge entries (a 255-byte name, a
// link's target) with their continuation area. Per folder: its own directory blocks in both trees
// and its path-table entries. Fixed: the system area, the volume descriptors, the padding and the
// checksum tags.
constexpr std::uint64_t PerItemBlocks = 3;
constexpr std::uint64_t PerFolderBlocks = 4;
constexpr std::uint64_t FixedBlocks = 1024;

std::uint64_t DataBlocks(std::uintmax_t Bytes) {
    // A file of 4 GiB or more takes one more directory record per extent.
    return (Bytes + DataBlockBytes - 1) / DataBlockBytes + Bytes / (std::uint64_t{1} << 32U);
}

// Adds Path to Stamps when it is a regular file (followed if Follow).
void Stamp(FileStamps& Stamps, const std::string& Path, bool Follow) {
    struct stat Info {};
    if ((Follow ? ::stat(Path.c_str(), &Info) : ::lstat(Path.c_str(), &Info)) == 0 &&
        S_ISREG(Info.st_mode)) {
        Stamps.Add(Path, static_cast<std::uintmax_t>(Info.st_size),
                   std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec);
    }
}

} // namespace

void FileStamps::Add(const std::string& Path, std::uintmax_t Size, std::int64_t ModifiedNs) {
    // The folder part keeps its slash ("" for a bare name, "/" for a file at the root).
    const std::size_t NameAt = Path.rfind('/') + 1; // 0 when there is no slash
    // A walk gives a folder's files one after another: its path is kept once for them.
    if (FFolders.empty() || FFolders.back().compare(0, std::string::npos, Path, 0, NameAt) != 0) {
        FFolders.push_back(Path.substr(0, NameAt));
    }
    FFiles.push_back({static_cast<std::uint32_t>(FFolders.size() - 1),
                      static_cast<std::uint32_t>(FNames.size()), Size, ModifiedNs});
    FNames.append(Path, NameAt);
    FNames.push_back('\0');
}

std::string FileStamps::PathOf(const File& Stamp) const {
    return FFolders[Stamp.Folder] + (FNames.c_str() + Stamp.NameAt);
}

std::optional<std::string> FileStamps::FirstChanged() const {
    for (const File& Before : FFiles) {
        const std::string Path = PathOf(Before);
        struct stat Info {};
        const bool Same = ::stat(Path.c_str(), &Info) == 0 &&
                          static_cast<std::uintmax_t>(Info.st_size) == Before.Size &&
                          std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec ==
                              Before.ModifiedNs;
        if (!Same) {
            return Path;
        }
    }
    return std::nullopt;
}

namespace {

// Whether the walk is at one of Skipped: a name compared first, so that only a namesake costs a
// look at its identity.
bool IsSkipped(const std::filesystem::path& Path, const std::vector<OwnFile>& Skipped) {
    for (const OwnFile& Own : Skipped) {
        struct stat Info {};
        if (Path.filename() == Own.Name && ::lstat(Path.c_str(), &Info) == 0 &&
            Info.st_dev == Own.Device && Info.st_ino == Own.Inode) {
            return true;
        }
    }
    return false;
}

// Adds what Entry takes to Blocks and counts it; false when it cannot be walked to its end.
bool WalkEntry(const Source& Entry, FileStamps& Stamps, TreeCounts* Counts,
               const std::vector<OwnFile>& Skipped, std::uint64_t& Blocks) {
    namespace fs = std::filesystem;
    std::error_code Error;
    // The entry itself is followed, as it is written.
    const fs::file_status Root = fs::status(Entry.Path, Error);
    if (Error) {
        return false;
    }
    if (!fs::is_directory(Root)) {
        Stamp(Stamps, Entry.Path, true);
        Blocks += PerItemBlocks + DataBlocks(fs::file_size(Entry.Path, Error));
        return !Error;
    }
    Blocks += PerFolderBlocks + PerItemBlocks;
    for (fs::recursive_directory_iterator Walk(Entry.Path, Error), End; !Error && Walk != End;
         Walk.increment(Error)) {
        const fs::file_status Item = Walk->symlink_status(Error);
        if (Error) {
            return false;
        }
        if (!Skipped.empty() && IsSkipped(Walk->path(), Skipped)) {
            Walk.disable_recursion_pending();
            continue;
        }
        Blocks += PerItemBlocks;
        if (Counts != nullptr) {
            ++Counts->Items.back();
            Counts->Names.Count(Walk->path().filename().native());
        }
        if (fs::is_directory(Item)) {
            Blocks += PerFolderBlocks;
        } else if (fs::is_regular_file(Item)) {
            Stamp(Stamps, Walk->path().string(), false);
            Blocks += DataBlocks(Walk->file_size(Error));
        }
    }
    return !Error;
}

} // namespace

std::optional<std::uint64_t> UpperBoundBlocks(const std::vector<Source>& Sources,
                                              FileStamps& Stamps, TreeCounts* Counts,
                                              const std::vector<OwnFile>& Skipped) {
    std::uint64_t Blocks = FixedBlocks;
    bool Bounded = true;
    for (const Source& Entry : Sources) {
        if (Counts != nullptr) {
            Counts->Items.push_back(1);
            Counts->Names.Count(Entry.Name);
        }
        Bounded = WalkEntry(Entry, Stamps, Counts, Skipped, Blocks) && Bounded;
    }
    if (!Bounded) {
        return std::nullopt;
    }
    return Blocks;
}

std::vector<Source> CheckSources(const std::vector<std::string>& Entries) {
    std::vector<Source> Sources;
    std::map<std::string, std::string> PathOfName;
    for (const std::string& Entry : Entries) {
        struct stat Info {};
        if (::stat(Entry.c_str(), &Info) != 0) {
            throw RecorderFailure(ExitCode::Source, "entry " + Entry + ": " + std::strerror(errno));
        }
        const int Access = S_ISDIR(Info.st_mode) ? R_OK | X_OK : R_OK;
        if (::access(Entry.c_str(), Access) != 0) {
            throw RecorderFailure(ExitCode::Source, "entry " + Entry + ": " + std::strerror(errno));
        }
        const std::string Name = NameOf(Entry);
        if (Name.empty() || Name == "/" || Name == "." || Name == "..") {
            throw RecorderFailure(ExitCode::Source,
                                  "entry " + Entry + ": has no name to stand at the disc's root");
        }
        const std::string Full = Absolute(Entry);
        const auto [Known, Added] = PathOfName.emplace(Name, Full);
        if (!Added) {
            if (Known->second == Full) {
                continue;
            }
            std::string Message = "entries ";
            Message += Known->second;
            Message += " and ";
            Message += Full;
            Message += " would both be /";
            Message += Name;
            Message += " on the disc";
            throw RecorderFailure(ExitCode::Source, Message);
        }
        Sources.push_back({Entry, Name});
    }
    return Sources;
}

} // namespace Recorder
