// A real drive, through libisoburn: acquired by the process that writes (libburn opens it
// exclusively, so a second run finds it busy), written in one session the disc keeps, whole images
// written in cdrecord's manner ("-as cdrecord"), CUE sheets libburn cannot take written by cdrdao,
// an authored image streamed into it, read back through the session that wrote it, and its tray
// opened at the end unless --disable_eject.
#pragma once

#include "Disc.hpp"

namespace Recorder {

class DriveDisc final : public Disc {
public:
    DriveDisc(const Target& Where, MediumUse Use);
    ~DriveDisc() override;
    DriveDisc(const DriveDisc&) = delete;
    DriveDisc& operator=(const DriveDisc&) = delete;
    DriveDisc(DriveDisc&&) = delete;
    DriveDisc& operator=(DriveDisc&&) = delete;

    MediumState Acquire(Progress& Report, Acquiring How) override;
    std::optional<std::uint64_t> FreeBlocks() override;
    void RequireCd(const MediumState& State) const override;

    std::string OwnFile() const override { return {}; }
    bool PlanBlanks() const noexcept override { return true; }
    void SayOfFile(Progress& /*Report*/, const std::string& /*Text*/) const override {}
    std::string OfFile(const std::string& /*Text*/) const override { return {}; }

    // A drive keeps no journal: what libburn wrote stays written.
    void KeepForAppend() const override {}
    UndoOutcome Undo() const noexcept override { return UndoOutcome::NoJournal; }

    void WriteImage(const Request& Ask, Progress& Report, const ImageToWrite& Image,
                    bool Blank) override;
    void WriteRaw(const Request& Ask, Progress& Report, const RawImage& Image, bool Blank) override;
    void WriteAuthored(const Request& Ask, Progress& Report, const AuthoredImage& Image,
                       bool Blank) override;

    // An audio CD is written by libburn itself, which holds the drive from its acquisition on.
    AudioRoom RoomForAudio() override;
    void PrepareAudio(const Request& Ask, Progress& Report, const AudioImage& Image) override;
    void WriteAudio(const Request& Ask, Progress& Report, const AudioImage& Image) override;

    void ChooseOutput(Progress& Report, const Request& Ask, const SessionOutput& Output,
                      std::uint64_t& NextAddress) override;
    std::string CommitFile(bool /*NewDisc*/) const override { return {}; }
    // A drive may refuse to write at once (some drives on some media, and the tests' emulated
    // writer, refuse RESERVE TRACK); when it refused before anything was written (the disc is
    // still blank) and --tao was not asked, the answer is yes, the run says so in one line and the
    // writing phase starts again.
    bool TrackAtOnceInstead(const Request& Ask, Progress& Report) override;

    std::string WrittenFile(bool /*NewDisc*/) const override { return Where().Path; }
    std::optional<std::uint64_t> WrittenBytes(const std::string& /*Written*/) const override {
        return std::nullopt;
    }
    XorrisoSession& ReadBack(Progress& Report, const std::string& Written, bool Reopen) override;

    void Complete(const Request& Ask, bool NewDisc, bool TrayShut) override;
    void Erase(const Request& Ask, Progress& Report) override;
    void Eject(Progress& Report) override;
    void Release() noexcept override;

private:
    struct AudioDrive;

    MediumState AcquireForAudio();
    // TrackAtOnceInstead after a cdrecord-style run that failed. Such a run leaves its session's
    // handle on the drive unusable (libburn closed the drive's descriptor, and a later command
    // would reach whatever reuses its number): the disc is checked through a session of its own,
    // and the disc's session is then a new one that has not opened the drive, for the second run
    // to open it itself. The drive is let go for the moment between the check and that run.
    bool CdrecordTrackAtOnceInstead(const Request& Ask, Progress& Report);
    // A cdrecord-style run, once more track at once when the drive refused to write at once;
    // Run (given whether to write track at once) says whether the drive wrote.
    void WriteWithCdrecord(const Request& Ask, Progress& Report,
                           const std::function<bool(bool Tao)>& Run);
    bool StreamOnce(const Request& Ask, const AuthoredImage& Image, bool Erase, bool Tao);
    // Writes the disc a CUE sheet describes with cdrdao (disc at once), ejecting afterwards
    // unless --disable_eject; cdrdao opens the drive itself.
    void WriteWithCdrdao(const Request& Ask, Progress& Report, const std::string& Sheet);

    std::unique_ptr<AudioDrive> FAudio;
};

} // namespace Recorder
