// One writer per kind of work, each in the same steps, which one loop runs (RunWrite) after the
// command line was checked: every check before anything is written, in the order the recorder
// promises (the target, the sources, the fit, the medium), then the write and its verify. A
// writer never asks what its disc is: what differs on a drive is the disc's (Disc.hpp).
#pragma once

#include "Disc.hpp"
#include "DiscGeometry.hpp"
#include "Progress.hpp"
#include "Request.hpp"
#include "Target.hpp"

#include <cstdint>
#include <memory>
#include <optional>
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

// A write in its steps, which RunWrite runs in this order: the disc acquired as How asks (the
// target, and a medium that takes nothing), the sources, the fit, the medium, what is made ready
// before writing (Prepare); the preparing phase ends; then the write, its verify and what ends the
// run (Finish: the disc put in place or ejected, the run's last lines). Each step
// throws RecorderFailure; nothing is written before Write. A write without How (an erase, an
// eject) is its Write alone: the disc checks what it needs.
class WriteSteps {
public:
    explicit WriteSteps(const WriteContext& Context) : FContext(Context) {}
    virtual ~WriteSteps() = default;
    WriteSteps(const WriteSteps&) = delete;
    WriteSteps& operator=(const WriteSteps&) = delete;
    WriteSteps(WriteSteps&&) = delete;
    WriteSteps& operator=(WriteSteps&&) = delete;

    virtual std::optional<Acquiring> How() const { return Acquiring::ToWrite; }
    virtual void CheckSources(const MediumState& /*State*/) {}
    virtual void CheckFit(const MediumState& /*State*/) {}
    // By default: a disc that is not blank needs --force_erase_disk (Disc::RequireWritable).
    virtual void CheckMedium(const MediumState& State) {
        FContext.Disc.RequireWritable(FContext.Ask, State.Blank);
    }
    virtual void Prepare() {}
    virtual void Write(const MediumState& State) = 0;
    virtual void Verify() {}
    virtual void Finish() {}

protected:
    const WriteContext& FContext;
};

using Writer = std::unique_ptr<WriteSteps> (*)(const WriteContext&);

// Runs the writer's steps on the context's disc.
void RunWrite(Writer Make, const WriteContext& Context);

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

std::unique_ptr<WriteSteps> WriteDataDisc(const WriteContext& Context);
// Video CDs and Super Video CDs.
std::unique_ptr<WriteSteps> WriteVideoCd(const WriteContext& Context);
std::unique_ptr<WriteSteps> WriteDvdVideo(const WriteContext& Context);
std::unique_ptr<WriteSteps> BurnImageFile(const WriteContext& Context);
std::unique_ptr<WriteSteps> WriteAudioCd(const WriteContext& Context);
// A BIN/CUE image given to --image as its .cue.
std::unique_ptr<WriteSteps> BurnCueImage(const WriteContext& Context);
std::unique_ptr<WriteSteps> EraseDisc(const WriteContext& Context);
std::unique_ptr<WriteSteps> EjectDisc(const WriteContext& Context);

} // namespace Recorder
