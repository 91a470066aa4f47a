#include "MappedDrives.hpp"

#include "DriveMap.hpp"
#include "QueltBurner.hpp"
#include "System.SysUtils.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace Queltburner {

namespace {

struct ProcessDriveMap {
    std::mutex Mutex;
    std::map<char, std::string> Targets; // by upper-case letter
};

ProcessDriveMap& Mapped() {
    // Never destroyed: a tool may be started by a job's thread while the application ends.
    static auto* const Map = new ProcessDriveMap;
    return *Map;
}

char UpperLetterOf(System::WideChar Letter) {
    if (Letter >= u'a' && Letter <= u'z') {
        return static_cast<char>(Letter - u'a' + 'A');
    }
    if (Letter >= u'A' && Letter <= u'Z') {
        return static_cast<char>(Letter);
    }
    throw std::invalid_argument("a drive letter is one ASCII letter");
}

// The target as the file system names it, or why QUELT_DRIVES (which carries the map to a tool)
// could not say it.
std::string NativeTarget(const System::UnicodeString& Target) {
    std::string Native;
    if (!System::Sysutils::TryAppendFileNameWithoutNul(Native, Target)) {
        throw std::invalid_argument("a drive's target must name a file: no NUL character, no "
                                    "text that stands for no bytes");
    }
    if (Native.empty()) {
        throw std::invalid_argument("a drive's target is a path, not empty text");
    }
    if (Native.find(';') != std::string::npos) {
        throw std::invalid_argument("a drive's target cannot hold ';'");
    }
    if (System::Sysutils::TrimBlanks(std::string_view(Native)).size() != Native.size()) {
        throw std::invalid_argument("a drive's target cannot start or end with a blank");
    }
    return Native;
}

} // namespace

void MapDrive(System::WideChar Letter, const System::UnicodeString& Target) {
    const char Upper = UpperLetterOf(Letter);
    std::string Native = NativeTarget(Target);
    ProcessDriveMap& Map = Mapped();
    const std::lock_guard Lock(Map.Mutex);
    Map.Targets.insert_or_assign(Upper, std::move(Native));
}

void UnmapDrive(System::WideChar Letter) {
    const char Upper = UpperLetterOf(Letter);
    ProcessDriveMap& Map = Mapped();
    const std::lock_guard Lock(Map.Mutex);
    Map.Targets.erase(Upper);
}

namespace Posix {

const char* DriveMapNow::Text() const {
    return Combined ? Combined->c_str() : std::getenv("QUELT_DRIVES");
}

DriveMapNow CurrentDriveMap() {
    std::vector<DriveMapping> Entries;
    {
        ProcessDriveMap& Map = Mapped();
        const std::lock_guard Lock(Map.Mutex);
        for (const auto& [Letter, Target] : Map.Targets) {
            Entries.push_back({Letter, Target});
        }
    }
    return {CombinedDriveMap(Entries, std::getenv("QUELT_DRIVES"), DeviceNodeExists)};
}

bool DeviceNodeExists(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0;
}

} // namespace Posix

} // namespace Queltburner
