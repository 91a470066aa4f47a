// Files read as media (audio tracks, video streams, the files of a DVD's VIDEO_TS folder, an
// image) must be regular files. A FIFO would block the first read until someone writes to it, and
// a device would be read for as long as it gives bytes; either is refused before it is read.
#pragma once

#include "FileDescriptor.hpp"

#include <string>
#include <string_view>

namespace Recorder {

// Opens Path for reading. It is opened without waiting (a FIFO with no writer opens at once), then
// checked to be a regular file and switched back to blocking reads. Throws RecorderFailure (source
// error) "What Path: reason" when it cannot be opened or is not a regular file.
FileDescriptor OpenMediaFile(const std::string& Path, std::string_view What);

// Throws RecorderFailure (source error) naming the first entry of Folder (links followed) that is
// neither a regular file nor a folder. Nothing is opened.
void RequireRegularFilesIn(const std::string& Folder, std::string_view What);

} // namespace Recorder
