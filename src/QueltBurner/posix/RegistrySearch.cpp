#include "RegistrySearch.hpp"

#include "RegistryFile.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Queltburner::Posix {

namespace {

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int Value) noexcept : FValue(Value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() {
        if (FValue >= 0) {
            (void)close(FValue);
        }
    }
    int Get() const noexcept { return FValue; }

private:
    int FValue;
};

// The registry file's bytes; no value when there is no such file. A file that is there but not a
// regular file (a device, a FIFO, a socket, a folder) or is larger than Cap reads as empty, which
// holds no value: reading /dev/zero or a sparse file of gigabytes would exhaust memory, and a FIFO
// without a writer would block for ever. Opening does not block either. Other failures throw.
std::optional<std::string> ReadRegistryFile(const std::string& Path, std::size_t Cap) {
    if (Path.empty()) {
        return std::nullopt;
    }
    const Descriptor File(open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (File.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        if (errno == ENXIO) { // a socket, or a device file without its device
            return std::string();
        }
        throw std::runtime_error("cannot open the registry file " + Path);
    }
    struct stat Info {};
    if (fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
        static_cast<std::uintmax_t>(Info.st_size) > Cap) {
        return std::string();
    }
    // One byte more than the cap is asked for, so that a file that grew since fstat is caught.
    std::string Bytes(static_cast<std::size_t>(Info.st_size) + 1, '\0');
    std::size_t Filled = 0;
    for (;;) {
        if (Filled == Bytes.size()) {
            if (Bytes.size() > Cap) {
                return std::string();
            }
            Bytes.resize(std::min(Cap + 1, Bytes.size() * 2));
        }
        const ssize_t Got = read(File.Get(), Bytes.data() + Filled, Bytes.size() - Filled);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        if (Got < 0) {
            throw std::runtime_error("cannot read the registry file " + Path);
        }
        if (Got == 0) {
            break;
        }
        Filled += static_cast<std::size_t>(Got);
    }
    Bytes.resize(Filled);
    return Bytes;
}

// The variables that place the registry file, as this process has them.
RegistryFileEnvironment EnvironmentOfThisProcess() {
    return {std::getenv("QUELT_REGISTRY"), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"),
            std::getenv("XDG_CONFIG_DIRS")};
}

} // namespace

std::vector<std::string> RegistryFileCandidates(const RegistryFileEnvironment& Environment,
                                                const std::string& InstalledDefault) {
    if (Environment.QueltRegistry != nullptr) {
        return {Environment.QueltRegistry};
    }
    constexpr std::string_view Name = "/QueltBurner/user.reg";
    std::vector<std::string> Candidates;
    const auto NonEmpty = [](const char* Value) { return Value != nullptr && *Value != '\0'; };
    if (NonEmpty(Environment.ConfigHome)) {
        Candidates.push_back(std::string(Environment.ConfigHome).append(Name));
    } else if (NonEmpty(Environment.Home)) {
        Candidates.push_back(std::string(Environment.Home).append("/.config").append(Name));
    }
    std::string_view Dirs = NonEmpty(Environment.ConfigDirs) ? Environment.ConfigDirs : "/etc/xdg";
    for (;;) {
        const std::size_t Colon = Dirs.find(':');
        const std::string_view Dir = Dirs.substr(0, Colon);
        if (Dir.starts_with('/')) {
            Candidates.push_back(std::string(Dir).append(Name));
        }
        if (Colon == std::string_view::npos) {
            break;
        }
        Dirs.remove_prefix(Colon + 1);
    }
    Candidates.push_back(InstalledDefault);
    return Candidates;
}

RegistryValue ReadUserValue(const std::string& InstalledDefault, std::u16string_view Key,
                            std::u16string_view Name) {
    for (const std::string& Path :
         RegistryFileCandidates(EnvironmentOfThisProcess(), InstalledDefault)) {
        if (const std::optional<std::string> Bytes = ReadRegistryFile(Path, LargestRegistryFile)) {
            return FindUserValue(*Bytes, Key, Name);
        }
    }
    return {};
}

std::optional<std::string> RegistryFileInUse(const std::string& InstalledDefault) {
    for (const std::string& Path :
         RegistryFileCandidates(EnvironmentOfThisProcess(), InstalledDefault)) {
        try {
            if (ReadRegistryFile(Path, LargestRegistryFile)) {
                return Path;
            }
        } catch (const std::runtime_error&) {
            return Path; // there, but it cannot be opened
        }
    }
    return std::nullopt;
}

} // namespace Queltburner::Posix
