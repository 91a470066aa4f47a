#include "ScratchFolder.hpp"

#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace Recorder {

namespace {

namespace fs = std::filesystem;

std::string PrefixOf(const std::string& DiscName) {
    return "." + DiscName + ".recording-";
}

// The entries of Folder; an error while listing ends the list (a range-for over a
// directory_iterator throws on it, even one made with an error code).
std::vector<fs::path> EntriesOf(const std::string& Folder) noexcept {
    std::vector<fs::path> Entries;
    try {
        std::error_code Error;
        for (fs::directory_iterator Item(Folder, Error), End; !Error && Item != End;
             Item.increment(Error)) {
            Entries.push_back(Item->path());
        }
    } catch (...) { // NOLINT(bugprone-empty-catch): out of memory: what was listed is removed
    }
    return Entries;
}

// The process id in a scratch name after its prefix ("-XXXXXX" follows it); 0 when none.
long PidIn(const std::string& Name, std::size_t PrefixLength) {
    long Pid = 0;
    const auto Parsed = std::from_chars(Name.data() + PrefixLength, Name.data() + Name.size(), Pid);
    return Parsed.ec == std::errc() ? Pid : 0;
}

} // namespace

ScratchFolder::ScratchFolder(const std::string& Folder, const std::string& DiscName,
                             const std::string& Subject) {
    std::string Template =
        Folder + "/" + PrefixOf(DiscName) + std::to_string(::getpid()) + "-XXXXXX";
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back('\0');
    if (::mkdtemp(Name.data()) == nullptr) {
        throw RecorderFailure(ExitCode::Write, Subject + ": cannot make a scratch folder in " +
                                                   Folder + ": " + std::strerror(errno));
    }
    FPath = Name.data();
}

void ScratchFolder::Empty() const noexcept {
    for (const fs::path& Item : EntriesOf(FPath)) {
        RemoveTree(Item.string());
    }
}

void RemoveTree(const std::string& Path) noexcept {
    std::error_code Ignored;
    try {
        fs::remove_all(Path, Ignored);
    } catch (
        ...) { // NOLINT(bugprone-empty-catch): out of memory while removing: left for the next run
    }
}

std::vector<StaleScratch> StaleScratchOf(const std::string& Folder,
                                         const std::string& DiscName) noexcept {
    std::vector<StaleScratch> Stale;
    try {
        const std::string Prefix = PrefixOf(DiscName);
        for (const fs::path& Item : EntriesOf(Folder)) {
            const std::string Name = Item.filename().string();
            const long Pid = Name.starts_with(Prefix) ? PidIn(Name, Prefix.size()) : 0;
            struct stat Info {};
            if (Pid <= 0 || Pid == ::getpid() || ::lstat(Item.c_str(), &Info) != 0 ||
                Info.st_uid != ::geteuid()) {
                continue;
            }
            if (::kill(static_cast<pid_t>(Pid), 0) != 0 && errno == ESRCH) {
                Stale.push_back({Item.string(), Pid});
            }
        }
    } catch (...) { // NOLINT(bugprone-empty-catch): out of memory: found again by the next run
    }
    return Stale;
}

} // namespace Recorder
