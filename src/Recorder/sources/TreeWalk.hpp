// One walk of a folder tree, each item looked at once: by fstatat relative to its open folder, so
// that no path is resolved again from the root for every item. A folder's items are visited one
// after another, and its subfolders after them, in the order the folder lists them.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace Recorder {

// Called for every item below the walk's root (not the root itself): Folder is the item's folder
// with its slash, Name its name, Info what lstat gives for it. A folder is entered when this
// returns true.
using TreeVisitor =
    std::function<bool(const std::string& Folder, std::string_view Name, const struct stat& Info)>;

// Walks the tree below Root (followed, if it is a link). False when a folder could not be read or
// an item could not be looked at: the walk stops there.
bool WalkTree(const std::string& Root, const TreeVisitor& Visit);

} // namespace Recorder
