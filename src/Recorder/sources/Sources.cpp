#include "Sources.hpp"

#include "DiscGeometry.hpp"
#include "RecorderFailure.hpp"
#include "TreeWalk.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

} // namespace

namespace {

// Whether the walk is at one of Skipped: a name compared first, its identity then.
bool IsSkipped(std::string_view Name, const struct stat& Info,
               const std::vector<OwnFile>& Skipped) {
    return std::any_of(Skipped.begin(), Skipped.end(), [&](const OwnFile& Own) {
        return Name == Own.Name && Info.st_dev == Own.Device && Info.st_ino == Own.Inode;
    });
}

// What the walk of one entry adds up.
struct EntryWalk {
    FileStamps& Stamps;
    TreeCounts* Counts;
    const std::vector<OwnFile>& Skipped;
    std::uint64_t& Blocks;
    std::string LastFolder;

    void Fingerprint(const std::string& Folder, std::string_view Name, const struct stat& Info) {
        if (Folder != LastFolder) {
            LastFolder = Folder;
            Counts->Tree.Add(std::string_view("/folder"));
            Counts->Tree.Add(Folder);
        }
        Counts->Tree.Add(Name);
        Counts->Tree.Add(Info);
    }

    // An item below the entry; false when it is not to be entered.
    bool Visit(const std::string& Folder, std::string_view Name, const struct stat& Info) {
        if (!Skipped.empty() && IsSkipped(Name, Info, Skipped)) {
            return false;
        }
        Blocks += PerItemBlocks;
        if (Counts != nullptr) {
            ++Counts->Items.back();
            Counts->Names.Count(Name);
            Fingerprint(Folder, Name, Info);
        }
        if (S_ISDIR(Info.st_mode)) {
            Blocks += PerFolderBlocks;
        } else if (S_ISREG(Info.st_mode)) {
            const auto Size = static_cast<std::uintmax_t>(Info.st_size);
            Stamps.Add(Folder, Name, Size, ModifiedNs(Info));
            Blocks += DataBlocks(Size);
        }
        return true;
    }
};

// Adds what Entry takes to Blocks and counts it; false when it cannot be walked to its end.
bool WalkEntry(const Source& Entry, FileStamps& Stamps, TreeCounts* Counts,
               const std::vector<OwnFile>& Skipped, std::uint64_t& Blocks) {
    // The entry itself is followed, as it is written.
    struct stat Root {};
    if (::stat(Entry.Path.c_str(), &Root) != 0) {
        return false;
    }
    if (Counts != nullptr) {
        Counts->Tree.Add(Entry.Path);
        Counts->Tree.Add(Entry.Name);
        Counts->Tree.Add(Root);
    }
    if (!S_ISDIR(Root.st_mode)) {
        if (S_ISREG(Root.st_mode)) {
            Stamps.Add(Entry.Path, static_cast<std::uintmax_t>(Root.st_size), ModifiedNs(Root));
        }
        Blocks += PerItemBlocks + DataBlocks(static_cast<std::uintmax_t>(Root.st_size));
        return true;
    }
    Blocks += PerFolderBlocks + PerItemBlocks;
    EntryWalk Walk{Stamps, Counts, Skipped, Blocks, {}};
    return WalkTree(Entry.Path,
                    [&Walk](const std::string& Folder, std::string_view Name,
                            const struct stat& Info) { return Walk.Visit(Folder, Name, Info); });
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
