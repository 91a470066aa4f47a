// One writer per kind of work. Each runs after the command line and the target were checked, does
// its own remaining checks (sources, fit, medium) before it writes anything, and either returns
// once everything is written or throws RecorderFailure.
#pragma once

#include "DiscGeometry.hpp"
#include "Medium.hpp"
#include "Progress.hpp"
#include "Request.hpp"
#include "Target.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace Recorder {

// A new first session (or a whole disc) is written to Scratch, a file in the run's private
// folder beside the virtual disc, and moved over it only once complete, so that an interrupted
// first session never leaves a file that readers take for a whole disc.
struct WriteContext {
    const Request& Ask;
    const Medium& Disc;
    const Target& Where; // Disc's target
    std::string Scratch; // Disc's scratch file for the new disc
    Progress& Report;
};

using Writer = void (*)(const WriteContext&);

// What the recorder does for each command: its writer, and whether that writer may append to a
// disc (its disc is then kept before the write and put back should the write fail).
struct WriterEntry {
    ToolGrammar::CommandKind Kind;
    bool (*Takes)(const Request& Ask); // null: every request of the kind
    Writer Write;
    bool MayAppend;
};
// The entry for an accepted request; null for a command the recorder does not carry out.
const WriterEntry* WriterFor(const Request& Ask);

void WriteDataDisc(const WriteContext& Context);
void WriteVideoCd(const WriteContext& Context); // Video CDs and Super Video CDs
void WriteDvdVideo(const WriteContext& Context);
void BurnImageFile(const WriteContext& Context);
void WriteAudioCd(const WriteContext& Context);
void BurnCueImage(const WriteContext& Context); // a BIN/CUE image given to --image as its .cue
void EraseDisc(const WriteContext& Context);
void EjectDisc(const WriteContext& Context);

// Copies everything From holds to the end of To, calling Copied with each piece's size. A read
// error is a source error naming Source, a write error a write error naming the disc. Returns the
// bytes copied.
std::uint64_t CopyAll(const WriteContext& Context, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied);

// Moves the complete scratch file over the virtual disc's file and makes the move durable.
void PutInPlace(const WriteContext& Context);

} // namespace Recorder
