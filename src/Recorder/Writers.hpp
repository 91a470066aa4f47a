// One writer per kind of work. Each runs after the command line and the target were checked, does
// its own remaining checks (sources, fit, medium) before it writes anything, and either returns
// once everything is written or throws RecorderFailure.
#pragma once

#include "Disc.hpp"
#include "DiscGeometry.hpp"
#include "Progress.hpp"
#include "Request.hpp"
#include "Target.hpp"

#include <cstdint>
#include <string>

namespace Recorder {

// A new first session (or a whole disc) is written to Scratch, a file in the run's private
// folder beside the virtual disc, and moved over it only once complete, so that an interrupted
// first session never leaves a file that readers take for a whole disc.
struct WriteContext {
    const Request& Ask;
    Recorder::Disc& Disc;
    const Target& Where; // Disc's target
    std::string Scratch; // Disc's scratch file for the new disc
    Progress& Report;
};

using Writer = void (*)(const WriteContext&);

// A folder in the run's scratch folder, for links and other preparation.
inline std::string ScratchFolderOf(const WriteContext& Context) {
    return Context.Scratch + ".d";
}

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

} // namespace Recorder
