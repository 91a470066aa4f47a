// What the recorder's video tests share: the committed streams, a VIDEO_TS made by dvdauthor,
// Video CD tracks ripped back by vcdxrip, and raw sectors to put in a CD image.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace RecorderTest {

// The path of a committed test stream (tests/integration/media; see its README).
std::string Media(const std::string& Name);

// Makes Root/VIDEO_TS with dvdauthor from the committed DVD stream, and an empty Root/AUDIO_TS.
// Returns Root.
std::filesystem::path MakeDvdFolders(const std::filesystem::path& Root);

// The MPEG streams of a Video CD's tracks, ripped by vcdxrip into Out (created) in track order;
// empty when vcdxrip failed (its output is printed).
std::vector<std::filesystem::path> RipVideoCd(const std::filesystem::path& Sheet,
                                              const std::filesystem::path& Out);

// Count sectors of SectorBytes each, every one different (its number and Fill), so that a copy
// that moves, drops or repeats a sector shows.
std::string RawSectors(std::size_t SectorBytes, std::size_t Count, char Fill);

// Runs a program (looked up on the test's PATH) in Folder with the given environment and returns
// its exit status, or -1 when a signal ended it.
int RunIn(const std::filesystem::path& Folder, const std::vector<std::string>& Argv,
          const std::vector<std::string>& Environment);

// Waits until the file exists; false when the time ran out.
bool WaitForFile(const std::filesystem::path& File, std::chrono::milliseconds Timeout);

// The recorder's arguments for a Video CD (Format --vcd or --svcd), a DVD-Video and a CD image.
// Options are the switches before the entries (--speedtest, --close_session), After those after
// them (--force_erase_disk).
std::vector<std::string> VideoCd(const std::string& Format, const std::vector<std::string>& Entries,
                                 const std::vector<std::string>& After = {},
                                 const std::vector<std::string>& Options = {});
std::vector<std::string> DvdVideo(const std::string& Label, const std::vector<std::string>& Options,
                                  const std::vector<std::string>& Entries,
                                  const std::vector<std::string>& After = {});
std::vector<std::string> ImageBurn(const std::filesystem::path& Image,
                                   const std::vector<std::string>& After = {});

// Nothing a failed run could have left: no disc, no sheet, no scratch.
void ExpectNothingWritten(const std::filesystem::path& Disc, const std::string& Case);

} // namespace RecorderTest
