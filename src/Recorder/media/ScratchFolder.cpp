#include "ScratchFolder.hpp"

#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

namespace Recorder {

namespace {

std::string PrefixOf(const std::string& DiscName) {
    return "." + DiscName + ".recording-";
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

ScratchFolder::~ScratchFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
}

void ScratchFolder::Empty() const {
    std::error_code Ignored;
    for (const auto& Item : std::filesystem::directory_iterator(FPath, Ignored)) {
        std::filesystem::remove_all(Item.path(), Ignored);
    }
}

void RemoveStaleScratch(const std::string& Folder, const std::string& DiscName) {
    namespace fs = std::filesystem;
    const std::string Prefix = PrefixOf(DiscName);
    std::error_code Error;
    std::vector<fs::path> Stale;
    for (const auto& Item : fs::directory_iterator(Folder, Error)) {
        const std::string Name = Item.path().filename().string();
        if (!Name.starts_with(Prefix)) {
            continue;
        }
        // The process id follows the prefix ("-XXXXXX", ".cue" or ".d" may follow it).
        const char* Digits = Name.data() + Prefix.size();
        const char* End = Name.data() + Name.size();
        long Pid = 0;
        const auto Parsed = std::from_chars(Digits, End, Pid);
        struct stat Info {};
        if (Parsed.ec != std::errc() || Pid <= 0 || Pid == ::getpid() ||
            ::lstat(Item.path().c_str(), &Info) != 0 || Info.st_uid != ::geteuid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(Pid), 0) != 0 && errno == ESRCH) {
            Stale.push_back(Item.path());
        }
    }
    for (const fs::path& Path : Stale) {
        fs::remove_all(Path, Error); // a link among them is removed, never followed
    }
}

} // namespace Recorder
