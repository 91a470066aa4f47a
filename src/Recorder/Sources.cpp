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

std::optional<FileStamp> StampOf(const std::string& Path, bool Follow) {
    struct stat Info {};
    if ((Follow ? ::stat(Path.c_str(), &Info) : ::lstat(Path.c_str(), &Info)) != 0 ||
        !S_ISREG(Info.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{Path, static_cast<std::uintmax_t>(Info.st_size),
                     std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec};
}

} // namespace

std::optional<std::string> ChangedFile(const std::vector<FileStamp>& Stamps) {
    for (const FileStamp& Before : Stamps) {
        struct stat Info {};
        const bool Same = ::stat(Before.Path.c_str(), &Info) == 0 &&
                          static_cast<std::uintmax_t>(Info.st_size) == Before.Size &&
                          std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec ==
                              Before.ModifiedNs;
        if (!Same) {
            return Before.Path;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> UpperBoundBlocks(const std::vector<Source>& Sources,
                                              std::vector<FileStamp>& Stamps,
                                              std::vector<std::uint64_t>* Items) {
    namespace fs = std::filesystem;
    std::uint64_t Blocks = FixedBlocks;
    std::error_code Error;
    for (const Source& Entry : Sources) {
        if (Items != nullptr) {
            Items->push_back(1);
        }
        // The entry itself is followed, as it is written.
        const fs::file_status Root = fs::status(Entry.Path, Error);
        if (Error) {
            return std::nullopt;
        }
        if (!fs::is_directory(Root)) {
            if (auto Stamp = StampOf(Entry.Path, true)) {
                Stamps.push_back(std::move(*Stamp));
            }
            Blocks += PerItemBlocks + DataBlocks(fs::file_size(Entry.Path, Error));
            if (Error) {
                return std::nullopt;
            }
            continue;
        }
        Blocks += PerFolderBlocks + PerItemBlocks;
        for (fs::recursive_directory_iterator Walk(Entry.Path, Error), End; !Error && Walk != End;
             Walk.increment(Error)) {
            const fs::file_status Item = Walk->symlink_status(Error);
            if (Error) {
                return std::nullopt;
            }
            Blocks += PerItemBlocks;
            if (Items != nullptr) {
                ++Items->back();
            }
            if (fs::is_directory(Item)) {
                Blocks += PerFolderBlocks;
            } else if (fs::is_regular_file(Item)) {
                if (auto Stamp = StampOf(Walk->path().string(), false)) {
                    Stamps.push_back(std::move(*Stamp));
                }
                Blocks += DataBlocks(Walk->file_size(Error));
            }
        }
        if (Error) {
            return std::nullopt;
        }
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
