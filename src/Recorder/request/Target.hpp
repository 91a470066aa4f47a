// Where a drive letter writes: a real drive (a block or character device, driven through libburn)
// or a virtual disc (an image file, created when missing).
#pragma once

#include <string>

namespace Recorder {

struct Target {
    char16_t Letter = u'?';
    // The path the drive map names, and the file it stands for: a link is followed once, when the
    // run starts, and every later step works on the file it named then.
    std::string Mapped;
    std::string Path;
    bool RealDrive = false;
    bool Exists = false;

    // "drive E (/tmp/disc.iso)", for messages.
    std::string Describe() const;
};

// Maps the letter as the POSIX host does (QUELT_DRIVES, else /dev/srN as D, E, ...) and checks the
// target before anything is written. Throws RecorderFailure (target error) for an unmapped
// letter, a missing device, a folder, anything that is neither a device nor a file, a path whose
// folder does not exist, a link to nothing, and a file or folder the recorder may not write.
Target ResolveTarget(char16_t Letter);

// A write error on the disc Where: What failed, for the reason errno names. The one way a step
// that writes the disc's files says so.
[[noreturn]] void WriteFailed(const Target& Where, const std::string& What);

// Path with every link resolved (realpath); empty when it names nothing.
std::string RealPathOf(const std::string& Path);

// The folder a virtual disc's file lies in ("." for a bare name).
std::string FolderOf(const std::string& Path);

} // namespace Recorder
