// The tool's option names, each written once: the component composes its command lines from these
// and the tool's grammar (src/ToolGrammar) recognises them by the same names, so an option renamed
// here is renamed on both sides at once. Which options each command takes, in which order, is the
// grammar's to say (Commands.cpp) and the composer's to follow. Plain constexpr, never inline
// (see CMakeLists.txt).
#pragma once

#include <string_view>

namespace ToolContract::Arg {

// What a command does.
constexpr std::string_view Write = "--write";
constexpr std::string_view Erase = "--erase";
constexpr std::string_view Eject = "--eject";
// A question, not a burn: what the disc in the drive holds, answered as key=value lines.
constexpr std::string_view DiscInfo = "--disc_info";
// Put before any burn command line (right after the program), it asks the tool what that burn
// would take of the disc instead of writing it. A prefix rather than one more trailing switch,
// so that no entry of a composed burn line can ever be taken for it.
constexpr std::string_view Estimate = "--estimate";

// The drive, and the head every burn starts with.
constexpr std::string_view DriveName = "--drivename";
constexpr std::string_view Real = "--real";
constexpr std::string_view Tao = "--tao";
constexpr std::string_view Artist = "--artist";
constexpr std::string_view Title = "--title";
constexpr std::string_view Recursive = "--recursive";
constexpr std::string_view Speed = "--speed";

// The file system of a data or DVD-Video disc.
constexpr std::string_view Iso = "--iso";
constexpr std::string_view Import = "--import";

// The switches of a write.
constexpr std::string_view SpeedTest = "--speedtest";
constexpr std::string_view CloseSession = "--close_session";
constexpr std::string_view DetectNonEmptyDisk = "--detect_non_empty_disk";
constexpr std::string_view UnderrunProtection = "--underrun_prot";
constexpr std::string_view DisableEject = "--disable_eject";
constexpr std::string_view Verify = "--verify";
constexpr std::string_view Dvd = "--dvd";
constexpr std::string_view ForceEraseDisk = "--force_erase_disk";
constexpr std::string_view Entire = "--entire";

// The disc kinds other than data, and an image.
constexpr std::string_view Audio = "--audio";
constexpr std::string_view VideoCd = "--videocd";
constexpr std::string_view SuperVideoCd = "--svideocd";
constexpr std::string_view Image = "--image";
// The fixed file-system block of a DVD-Video disc, after Dvd.
constexpr std::string_view CreateIsoFs = "--create_iso_fs";
constexpr std::string_view CreateUdfFs = "--create_udf_fs";
constexpr std::string_view IsoNoJoliet = "--iso-no-joliet";
constexpr std::string_view DvdVideoRealloc = "--dvdvideo_realloc";

} // namespace ToolContract::Arg
