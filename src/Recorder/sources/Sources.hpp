// The entries of a data disc: each file or folder at the disc's root under its own name.
#pragma once

#include "Fingerprint.hpp"
#include "JolietNames.hpp"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Recorder {

struct Source {
    std::string Path; // as given
    std::string Name; // its name at the disc's root
};

// A file's modification time in nanoseconds, as the stamps keep it.
std::int64_t ModifiedNs(const struct stat& Info);

// The files a session reads, as they were before the write: a file that changes while it is
// written (libisofs pads a file that shrank with zeros) is found by comparing afterwards. Kept
// compactly, each folder's path once and each file by its name in it, so that a tree of 100,000
// files costs a few megabytes instead of a string each.
class FileStamps {
public:
    // Path's size and modification time as they are now (a path with a folder part).
    void Add(const std::string& Path, std::uintmax_t Size, std::int64_t ModifiedNs);
    // The same for the file Name in Folder (a folder path with its slash).
    void Add(const std::string& Folder, std::string_view Name, std::uintmax_t Size,
             std::int64_t ModifiedNs);
    std::size_t Count() const noexcept { return FFiles.size(); }
    // The first file that no longer has its size or modification time, if any. Each file is
    // looked at relative to its open folder, and a long list is shared among the processors.
    std::optional<std::string> FirstChanged() const;

private:
    struct File {
        std::uint32_t Folder = 0;
        std::uint32_t NameAt = 0; // its name in FNames, up to the next NUL
        std::uintmax_t Size = 0;
        std::int64_t ModifiedNs = 0;
    };
    std::string PathOf(const File& Stamp) const;
    // The index of the first changed file in [From, To), or To.
    std::size_t FirstChangedIn(std::size_t From, std::size_t To) const;

    std::vector<std::string> FFolders;
    std::string FNames;
    std::vector<File> FFiles;
};

// Checks every entry before anything is written: it must exist (an entry that is a link is
// followed) and be readable. The same path given twice counts once; two different paths with the
// same name are refused, naming both. Throws RecorderFailure (source error).
std::vector<Source> CheckSources(const std::vector<std::string>& Entries);

// More blocks of 2,048 bytes than a first session holding these entries can take: every file's
// data rounded up to whole blocks, and for every file, link and folder more than its directory
// records, Rock Ridge entries and Joliet records take, plus the session's fixed structures. Lets
// a write that clearly fits skip the exact measurement, which lays the whole image out once more.
// It bounds no session that continues a disc: that one also rewrites the records of the whole
// tree it takes over. None when a tree cannot be walked. Stamps receives every regular file the
// walk passes; Counts, when given, what the walk counts besides.
// A file the walk passes over: one of the run's own (see OwnFiles.hpp), known by its name and its
// identity.
struct OwnFile {
    std::string Path;
    std::string Name;
    dev_t Device = 0;
    ino_t Inode = 0;
};

// What the walk counts besides the bound: each entry's items (itself and what it holds) and the
// names it puts on the disc, for the Joliet tree. A walk that cannot go on in one entry goes on
// with the next, so that the names of the others are counted all the same.
// Tree fingerprints every item walked: its folder, name, type, identity, size and times.
struct TreeCounts {
    std::vector<std::uint64_t> Items;
    JolietNameCounts Names;
    Fingerprint Tree;
};

std::optional<std::uint64_t> UpperBoundBlocks(const std::vector<Source>& Sources,
                                              FileStamps& Stamps, TreeCounts* Counts = nullptr,
                                              const std::vector<OwnFile>& Skipped = {});

} // namespace Recorder
