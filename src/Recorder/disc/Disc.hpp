// The disc a run works on, chosen once from its target (OpenDisc): a virtual disc, an image file
// whose new disc is prepared in the run's scratch folder and put in place whole, or a real drive,
// written through libisoburn, libburn and cdrdao. Every writer works through this one interface
// and never asks which of the two it has: what a drive does differently (cdrecord-style runs,
// cdrdao, a stream into the drive, its tray) lives in the drive's implementation, what a file does
// (copies into scratch, the CUE sheet beside it, the move into place) in the virtual disc's.
//
// The disc owns, for the length of the run: the hold on its target (Medium: the lock, what killed
// runs left, the scratch folder), the acquisition of the medium and its state, the free space a
// write is measured against, the checks of a medium before writing, the session that writes it,
// the reading back for a verify, what an append may change and its undoing, and the release.
#pragma once

#include "DiscKind.hpp"
#include "ExternalProgram.hpp"
#include "Medium.hpp"
#include "Progress.hpp"
#include "Request.hpp"
#include "Target.hpp"
#include "UndoJournal.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Recorder {

// What a run does with the medium it acquires: only looks at it (a question), writes it, or writes
// one more session that continues the tree it holds, or writes raw CD sectors (a virtual disc of
// those keeps a CUE sheet beside it, whose place is part of the target), or an audio CD (whose
// sheet's place must also hold no file but this disc's own sheet; a drive is taken by libburn).
enum class Acquiring : std::uint8_t { ToLook, ToWrite, ToContinue, ToWriteRaw, ToWriteAudio };

// The medium as the run found it when it acquired it.
struct MediumState {
    bool Blank = true;
    // What the disc holds: a virtual disc's kind; a drive's disc is Blank or Appendable.
    VirtualDiscKind Kind = VirtualDiscKind::Blank;
    std::size_t Sessions = 0;
    std::uint64_t NextAddress = 0; // the block a new session starts at
    std::string Profile;           // a drive's medium, libburn's name ("CD-R", "DVD+RW", ...)
    // A continued tree still to be loaded from the disc's file (a drive's is loaded when acquired).
    bool TreeToLoad = false;
};

// An image written as it is (--image): its path, open descriptor and size.
struct ImageToWrite {
    std::string Path;
    int Fd = -1;
    std::uint64_t Bytes = 0;
};

// A disc of raw CD sectors described by a CUE sheet (a Video CD, a CUE image).
struct RawImage {
    // Returns the sheet a drive is given, whose FILE lines name the data where it lies (written
    // first, if need be).
    std::function<std::string()> DriveSheet;
    // Whether libburn takes that sheet itself; otherwise cdrdao writes it.
    bool LibburnWrites = false;
    // Begins the writing phase and fills the run's scratch data file and scratch sheet, the sheet
    // naming the data file by BareName, the virtual disc's own name.
    std::function<void(const std::string& BareName)> FillScratch;
};

// An image an authoring program makes (DVD-Video): its run writing the image into File, or to its
// standard output when none; Blocks is the image's size.
struct AuthoredImage {
    std::function<ProgramRun(const std::optional<std::string>& File)> Author;
    std::uint64_t Blocks = 0;
};

// An audio CD's track: its sectors, and their decoding again, handed to Sink in blocks of whole
// sectors, Done (0.0 to 1.0) following it.
struct AudioTrackData {
    std::string Path;
    std::uint64_t Sectors = 0;
    std::function<void(const std::function<void(std::span<const char>)>& Sink,
                       const std::function<void(double Done)>& Done)>
        Decode;
};

// An audio CD: its tracks, the CUE sheet a virtual disc keeps (given where each track starts and
// the name of the disc's file), the CD-TEXT a drive writes (each text at most TextLimit bytes),
// and the words for what was written ("2 audio tracks (03:10)").
struct AudioImage {
    std::vector<AudioTrackData> Tracks;
    std::function<std::string(const std::vector<std::uint64_t>& Starts,
                              const std::string& BareName)>
        Sheet;
    std::size_t TextLimit = 0;
    std::string Summary;
};

// What an audio CD may take of the disc: the silent sectors it stores before the first track (a
// drive writes the pause outside the space it reports), the sectors it holds, the share of the
// preparing the tracks' checks take (a drive decodes each track once more before writing), and
// the remedy named for a disc that is not blank.
struct AudioRoom {
    std::uint64_t Pause = 0;
    std::uint64_t Capacity = 0;
    double CheckShare = 100.0;
    std::string Remedy;
};

// Where a planned data session goes (see Disc::ChooseOutput).
struct SessionOutput {
    bool Refused = false; // the medium refuses the write: the session is only measured
    bool Loaded = false;  // a continued tree was loaded into the session from the disc's file
    bool NewDisc = true;
    bool Erasing = false; // a disc that is not blank is blanked first
};

class Disc {
public:
    explicit Disc(Target Where, MediumUse Use) : FHold(std::move(Where), Use) {}
    virtual ~Disc() = default;
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;
    Disc(Disc&&) = delete;
    Disc& operator=(Disc&&) = delete;

    const Target& Where() const noexcept { return FHold.Where(); }
    std::string Describe() const { return FHold.Describe(); }
    // The new disc's data file in the run's private scratch folder, and that folder ("" when the
    // run has none).
    std::string ScratchDisc() const { return FHold.ScratchDisc(); }
    std::string ScratchSheet() const { return FHold.ScratchSheet(); }
    std::string ScratchFolderPath() const { return FHold.ScratchFolderPath(); }
    void ClearScratch() const noexcept { FHold.ClearScratch(); }

    // The session the run's libisoburn work goes through, made on first use; without Report,
    // the one made before (a write error when there is none).
    XorrisoSession& Session(Progress& Report);
    XorrisoSession& Session();

    // Acquires the medium and reads its state. A drive that cannot be used is a target error, a
    // drive without a disc a medium error, and (unless only looking) a disc that takes nothing
    // (pressed, or closed for good) a medium error at once, before any source is read.
    virtual MediumState Acquire(Progress& Report, Acquiring How) = 0;
    // The medium's free blocks as the drive reports them; none for a virtual disc, which holds a
    // disc's capacity.
    virtual std::optional<std::uint64_t> FreeBlocks() = 0;
    // A burn of raw CD sectors needs a CD: any other medium is a medium error.
    virtual void RequireCd(const MediumState& State) const = 0;
    // A disc that is not blank needs --force_erase_disk (and is refused outright with
    // --detect_non_empty_disk): a medium error, raised before anything is written.
    void RequireWritable(const Request& Ask, bool Blank) const;

    // The disc's own file, which no session may hold; empty for a drive.
    virtual std::string OwnFile() const = 0;
    // Whether planning a data session blanks the medium at once (a drive does, with
    // --force_erase_disk): a question that only measures must not ask for it.
    virtual bool PlanBlanks() const noexcept = 0;
    // Says Text for a virtual disc only: what a file cannot do that a disc in a drive does (be
    // closed), or a line a drive's own writing program says in its stead.
    virtual void SayOfFile(Progress& Report, const std::string& Text) const = 0;
    // Text for a virtual disc, empty for a drive.
    virtual std::string OfFile(const std::string& Text) const = 0;

    // Writes down what an append may change, before anything is written; undoes it (or finishes
    // an erase) after a failure.
    virtual void KeepForAppend() const = 0;
    virtual UndoOutcome Undo() const noexcept = 0;

    // The whole-disc writes: an image as it is, a disc of raw sectors by its CUE sheet, an image an
    // authoring program makes. Blank: whether the disc was blank (a drive blanks it first).
    virtual void WriteImage(const Request& Ask, Progress& Report, const ImageToWrite& Image,
                            bool Blank) = 0;
    virtual void WriteRaw(const Request& Ask, Progress& Report, const RawImage& Image,
                          bool Blank) = 0;
    virtual void WriteAuthored(const Request& Ask, Progress& Report, const AuthoredImage& Image,
                               bool Blank) = 0;

    // An audio CD: the room it has, what is made ready before writing (a drive's tracks decoded
    // and handed to libburn with their CD-TEXT, libburn's check of the write: a medium error), and
    // its write.
    virtual AudioRoom RoomForAudio() = 0;
    virtual void PrepareAudio(const Request& Ask, Progress& Report, const AudioImage& Image) = 0;
    virtual void WriteAudio(const Request& Ask, Progress& Report, const AudioImage& Image) = 0;

    // A data session: where the planned session goes (NextAddress set when it starts anew), the
    // file its commit writes ("" for a drive), and whether to write once more track at once after
    // a drive refused to write it at once (see TrackAtOnceInstead in DriveDisc.hpp).
    virtual void ChooseOutput(Progress& Report, const Request& Ask, const SessionOutput& Output,
                              std::uint64_t& NextAddress) = 0;
    virtual std::string CommitFile(bool NewDisc) const = 0;
    virtual bool TrackAtOnceInstead(const Request& Ask, Progress& Report) = 0;

    // The written disc to read back for a verify: the file written (a new disc's scratch file or
    // the continued disc), its size when it has one, and a session that reads it. A drive is read
    // through the session that wrote it; Reopen makes it take the disc again as its input.
    virtual std::string WrittenFile(bool NewDisc) const = 0;
    virtual std::optional<std::uint64_t> WrittenBytes(const std::string& Written) const = 0;
    virtual XorrisoSession& ReadBack(Progress& Report, const std::string& Written, bool Reopen) = 0;

    // The end of a write: a new virtual disc put in place; a drive's tray opened when the write
    // left it shut (TrayShut) and no --disable_eject.
    virtual void Complete(const Request& Ask, bool NewDisc, bool TrayShut) = 0;

    virtual void Erase(const Request& Ask, Progress& Report) = 0;
    virtual void Eject(Progress& Report) = 0;

    // Lets go of what the run took of the medium (the sessions, the drive libburn grabbed, opening
    // its tray when the write asked for that), whether the work succeeded or not: the worker
    // process ends without unwinding, so this is the one moment they end.
    virtual void Release() noexcept { EndSession(); }

protected:
    const Medium& Hold() const noexcept { return FHold; }
    // Lets the drive go: the session that held it ends.
    void EndSession() noexcept { FSession.reset(); }
    bool HasSession() const noexcept { return FSession != nullptr; }

private:
    Medium FHold;
    std::unique_ptr<XorrisoSession> FSession;
};

// The disc Where names, held for Use: the one place that tells a drive from a virtual disc.
std::unique_ptr<Disc> OpenDisc(const Target& Where, MediumUse Use);

} // namespace Recorder
