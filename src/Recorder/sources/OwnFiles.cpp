#include "OwnFiles.hpp"

#include <sys/stat.h>

#include <algorithm>

namespace Recorder {

namespace {

std::string NameOf(const std::string& Path) {
    const std::size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

} // namespace

std::vector<OwnFile> OwnFilesOf(const Disc& Onto) {
    std::vector<OwnFile> Own;
    for (const std::string& Path : {Onto.OwnFile(), Onto.ScratchFolderPath()}) {
        struct stat Info {};
        const std::string Real = Path.empty() ? std::string() : RealPathOf(Path);
        if (!Real.empty() && ::lstat(Real.c_str(), &Info) == 0) {
            Own.push_back({Real, NameOf(Real), Info.st_dev, Info.st_ino});
        }
    }
    return Own;
}

std::vector<std::string> OwnFilesInTree(std::vector<Source>& Sources,
                                        const std::vector<OwnFile>& Own) {
    std::vector<std::string> InTree;
    const auto IsOwn = [&Own](const Source& Entry) {
        struct stat Info {};
        return ::stat(Entry.Path.c_str(), &Info) == 0 &&
               std::any_of(Own.begin(), Own.end(), [&Info](const OwnFile& File) {
                   return File.Device == Info.st_dev && File.Inode == Info.st_ino;
               });
    };
    Sources.erase(std::remove_if(Sources.begin(), Sources.end(), IsOwn), Sources.end());
    for (const Source& Entry : Sources) {
        const std::string Folder = RealPathOf(Entry.Path);
        for (const OwnFile& File : Own) {
            if (!Folder.empty() && File.Path.size() > Folder.size() + 1 &&
                File.Path.compare(0, Folder.size() + 1, Folder + "/") == 0) {
                InTree.push_back("/" + Entry.Name + File.Path.substr(Folder.size()));
            }
        }
    }
    return InTree;
}

} // namespace Recorder
