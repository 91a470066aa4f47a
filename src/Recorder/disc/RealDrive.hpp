// A real drive, through libisoburn: acquired by the process that writes (libburn opens it
// exclusively, so a second run finds it busy), the state of the medium in it, its free space,
// the cdrecord-style runs that write a whole image, and the eject.
#pragma once

#include "Request.hpp"
#include "Target.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

struct DriveState {
    bool Present = true; // a disc is in the drive
    bool Blank = true;
    // Whether anything can be written to it, after an erase if need be: a pressed disc (a ROM
    // profile) or a closed write-once disc takes nothing.
    bool Writable = true;
    std::size_t Sessions = 0;
    std::uint64_t NextAddress = 0; // the block a new session starts at
    std::string Profile;           // libburn's name of the medium: "CD-R", "DVD+R", "DVD-ROM", ...
};

// The state of the medium as "-toc" describes it in its result lines.
DriveState DriveStateOf(const std::vector<std::string>& Toc);

// Whether a medium of libburn's profile name (CD-ROM, CD-RW, DVD+R, BD-RE, ...) can be written at
// all, and whether it can be erased.
bool IsPressedProfile(std::string_view Profile);
bool IsRewritableProfile(std::string_view Profile);

// Whether a medium of libburn's profile name is a CD, the only medium that takes raw sectors
// (audio, Video CD, CUE images).
bool IsCdProfile(std::string_view Profile);

// The user's words for a drive without a disc, for a disc that takes nothing, and for a drive
// that another run or program holds.
std::string NoDiscIn(const Target& Where);
std::string NotWritableIn(const Target& Where);
std::string BusyDrive(const Target& Where);

// Opens the drive as the session's output drive (the input drive too when Both). Anything libburn
// cannot use is a target error; a drive that another run or program holds says it is busy.
void OpenDrive(XorrisoSession& Session, const Target& Where, bool Both = false);

// Opens the drive and reads the medium's state; when LoadTree, the newest session's tree is loaded
// too, for a session that continues it. A drive without a disc is a medium error.
DriveState AcquireDrive(XorrisoSession& Session, const Target& Where, bool LoadTree = false);

// AcquireDrive for a run that writes or erases: a disc that can take nothing (pressed, or closed
// for good) is a medium error at once, before any source is read or authored.
DriveState AcquireDriveToWrite(XorrisoSession& Session, const Target& Where, bool LoadTree = false);

// The medium's free blocks as libburn reports them, if it does.
std::optional<std::uint64_t> FreeBlocks(XorrisoSession& Session);

// The whole image of a disc written at once in cdrecord's manner ("-as cdrecord ..."): the
// source is a file, a CUE sheet ("cuefile=") or standard input ("-"); Bytes is the size of a
// source that cannot tell it (standard input).
struct CdrecordRun {
    std::string Source;
    bool IsCueSheet = false;
    std::optional<std::uint64_t> Bytes;
    bool Erase = false;    // blank a disc that is not blank first
    bool Dvd = false;      // the speed is counted in DVD's base speed
    bool Closed = false;   // the disc is closed whatever --close_session says (DVD-Video)
    bool KeepTray = false; // no eject at the end: the disc is read back (verified) first
};
std::vector<std::string> CdrecordArguments(const Request& Ask, const Target& Where,
                                           const CdrecordRun& Run);

// The count of the result lines that start with Head.
std::size_t CountLines(const std::vector<std::string>& Lines, std::string_view Head);
// The number before the "s" (blocks) of a result line "Name : 1234s", or none.
std::optional<std::uint64_t> BlocksIn(const std::vector<std::string>& Lines, std::string_view Name);

} // namespace Recorder
