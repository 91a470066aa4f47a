#include "TreeWalk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace Recorder {

namespace {

// A folder open for reading, closed with it.
class OpenFolder {
public:
    // The root is followed; a folder found below it is known by lstat not to be a link, and is
    // refused should it have become one since.
    OpenFolder(const std::string& Path, bool Follow) {
        const int Flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (Follow ? 0 : O_NOFOLLOW);
        const int Descriptor = ::open(Path.c_str(), Flags);
        if (Descriptor >= 0) {
            FFolder = ::fdopendir(Descriptor);
            if (FFolder == nullptr) {
                ::close(Descriptor);
            }
        }
    }
    ~OpenFolder() {
        if (FFolder != nullptr) {
            ::closedir(FFolder);
        }
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    OpenFolder(OpenFolder&&) = delete;
    OpenFolder& operator=(OpenFolder&&) = delete;

    DIR* Get() const noexcept { return FFolder; }

private:
    DIR* FFolder = nullptr;
};

bool IsDotOrDotDot(const char* Name) {
    return Name[0] == '.' && (Name[1] == '\0' || (Name[1] == '.' && Name[2] == '\0'));
}

// Visits the items of one folder; the subfolders to enter go to Entered, in the folder's order.
bool WalkFolder(const std::string& Folder, bool Follow, const TreeVisitor& Visit,
                std::vector<std::string>& Entered) {
    const OpenFolder Open(Folder, Follow);
    if (Open.Get() == nullptr) {
        return false;
    }
    const std::string Prefix = Folder.ends_with('/') ? Folder : Folder + '/';
    const int Descriptor = ::dirfd(Open.Get());
    for (;;) {
        errno = 0;
        const dirent* Item = ::readdir(Open.Get());
        if (Item == nullptr) {
            return errno == 0;
        }
        if (IsDotOrDotDot(Item->d_name)) {
            continue;
        }
        struct stat Info {};
        if (::fstatat(Descriptor, Item->d_name, &Info, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        const std::string_view Name(Item->d_name);
        if (Visit(Prefix, Name, Info) && S_ISDIR(Info.st_mode)) {
            Entered.push_back(Prefix + std::string(Name));
        }
    }
}

} // namespace

bool WalkTree(const std::string& Root, const TreeVisitor& Visit) {
    std::vector<std::string> Pending{Root};
    bool AtRoot = true;
    while (!Pending.empty()) {
        const std::string Folder = std::move(Pending.back());
        Pending.pop_back();
        std::vector<std::string> Entered;
        if (!WalkFolder(Folder, AtRoot, Visit, Entered)) {
            return false;
        }
        AtRoot = false;
        // Taken from the back: the first subfolder listed is walked first.
        Pending.insert(Pending.end(), Entered.rbegin(), Entered.rend());
    }
    return true;
}

} // namespace Recorder
