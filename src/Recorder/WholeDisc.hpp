// What the writers of whole discs share (Video CDs, Super Video CDs, DVD-Video, BIN/CUE images):
// the scratch files that become the disc, the medium checks before writing,
// a real drive checked through libburn, and CUE sheets written to a real drive by cdrdao.
#pragma once

#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

// A folder in the run's scratch folder, for links and other preparation.
std::string ScratchFolderOf(const WriteContext& Context);

// The sheet a virtual disc of raw sectors keeps beside its file. A target ending in .cue, or one
// whose name a sheet cannot carry (a double quote, a line break), is a target error.
std::string RawTargetSheet(const Target& Where);

// Where a disc of raw sectors goes: a real drive, checked, with its session kept for the write
// (Blank: whether it holds a blank disc), or a virtual disc and the sheet it keeps beside it.
struct RawTarget {
    std::unique_ptr<XorrisoSession> Drive;
    std::string Sheet;
    bool Blank = true;
    std::string Profile; // the real drive's medium (empty for a virtual disc)
};
RawTarget OpenRawTarget(const WriteContext& Context);

// A burn of raw CD sectors (audio, Video CD, a CUE image) needs a CD: any other medium in a real
// drive is a medium error, said before anything is written. Profile: libburn's name of it.
void RequireCd(const WriteContext& Context, std::string_view Profile);

// Whether the drive holds a blank disc. Whether the device is a drive at all is part of the target,
// so anything libburn cannot use is a target error.
bool CheckDrive(XorrisoSession& Drive, const Target& Where);

// After a write on a real drive failed: whether to write once more track at once. A drive may
// refuse to write at once (some drives on some media, and the tests' emulated writer, refuse
// RESERVE TRACK); when it refused before anything was written (the disc is still blank) and
// --tao was not asked, the answer is yes, the run says so in one line and the writing phase
// starts again. Drive is a session that holds the drive.
bool TrackAtOnceInstead(XorrisoSession& Drive, const WriteContext& Context);

// TrackAtOnceInstead after a cdrecord-style run ("-as cdrecord") that failed. Such a run leaves
// its session's handle on the drive unusable (libburn closed the drive's descriptor, and a later
// command would reach whatever reuses its number): the disc is checked through a session of its
// own, and Drive becomes a new session that has not opened the drive, for the second run to open
// it itself. The drive is let go for the moment between the check and that run.
bool CdrecordTrackAtOnceInstead(std::optional<XorrisoSession>& Drive, const WriteContext& Context);

// A virtual disc that is not blank needs --force_erase_disk (and is refused outright with
// --detect_non_empty_disk): a medium error, raised before anything is written.
void RequireWritable(const WriteContext& Context, bool Blank);

// Writes Text to Path (created or replaced) and makes it durable; a failure is a write error.
void WriteDurably(const WriteContext& Context, const std::string& Path, const std::string& Text);
// Makes a complete scratch file durable before it is moved into place.
void SyncFile(const WriteContext& Context, const std::string& Path);

// Moves the scratch sheet and then the scratch data into place (see Medium::PutInPlace).
void PutRawDiscInPlace(const WriteContext& Context, const std::string& Sheet);

// Writes the disc a CUE sheet describes to the real drive with cdrdao (disc at once), ejecting
// afterwards unless --disable_eject.
void WriteSheetWithCdrdao(const WriteContext& Context, const std::string& Sheet);

} // namespace Recorder
