// The private folder a run prepares its new disc in (".NAME.recording-PID-XXXXXX" beside a virtual
// disc, so that the new disc is moved into place on the same file system; in the temporary folder
// for a real drive). It is made new by mkdtemp, readable by the user only, so no name in it can
// exist before the run made it: no other user can plant a link where the run writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Recorder {

// Removes Path and everything in it (a link is removed, never followed); never throws, so that a
// failure path can always call it.
void RemoveTree(const std::string& Path) noexcept;

class ScratchFolder {
public:
    // Makes the folder for the disc at DiscPath in Folder; throws RecorderFailure (write error)
    // naming Subject when it cannot.
    ScratchFolder(const std::string& Folder, const std::string& DiscName,
                  const std::string& Subject);
    // Removes the folder and everything still in it.
    ~ScratchFolder() { RemoveTree(FPath); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ScratchFolder(ScratchFolder&&) = delete;
    ScratchFolder& operator=(ScratchFolder&&) = delete;

    const std::string& Path() const noexcept { return FPath; }
    std::string PathOf(std::string_view Name) const { return FPath + "/" + std::string(Name); }
    // Removes everything in the folder, which stays for the next try.
    void Empty() const noexcept;

private:
    std::string FPath;
};

// What a run on the disc named DiscName in Folder left when it was killed: a scratch folder of
// this user whose process is gone.
struct StaleScratch {
    std::string Path;
    long Pid = 0;
};
// The stale scratch of that disc. Call it only while holding the disc.
std::vector<StaleScratch> StaleScratchOf(const std::string& Folder,
                                         const std::string& DiscName) noexcept;

} // namespace Recorder
