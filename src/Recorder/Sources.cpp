#include "Sources.hpp"

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

} // namespace

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
            std::string Message = "entries " + Known->second;
            Message += " and " + Full;
            Message += " would both be /" + Name;
            Message += " on the disc";
            throw RecorderFailure(ExitCode::Source, Message);
        }
        Sources.push_back({Entry, Name});
    }
    return Sources;
}

} // namespace Recorder
