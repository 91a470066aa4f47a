// A virtual disc: an image file standing for a disc. A new disc is prepared in the run's scratch
// folder beside it and moved over it only once complete; an append is written in place, its
// overwritten bytes kept first; it cannot be closed and has no tray.
#pragma once

#include "Disc.hpp"

#include <optional>

namespace Recorder {

// The CUE sheet's place beside an audio CD's file must be free, or hold this disc's own sheet:
// another disc's sheet, a folder or anything else there is not overwritten (a target error).
void CheckSheetPlace(const Target& Where);

class VirtualDisc final : public Disc {
public:
    using Disc::Disc;

    MediumState Acquire(Progress& Report, Acquiring How) override;
    std::optional<std::uint64_t> FreeBlocks() override { return std::nullopt; }
    void RequireCd(const MediumState& /*State*/) const override {}

    std::string OwnFile() const override { return Where().Path; }
    bool PlanBlanks() const noexcept override { return false; }
    void SayOfFile(Progress& Report, const std::string& Text) const override;
    std::string OfFile(const std::string& Text) const override { return Text; }

    void KeepForAppend() const override { Hold().KeepForAppend(); }
    UndoOutcome Undo() const noexcept override { return Hold().Undo(); }

    void WriteImage(const Request& Ask, Progress& Report, const ImageToWrite& Image,
                    bool Blank) override;
    void WriteRaw(const Request& Ask, Progress& Report, const RawImage& Image, bool Blank) override;
    void WriteAuthored(const Request& Ask, Progress& Report, const AuthoredImage& Image,
                       bool Blank) override;

    AudioRoom RoomForAudio() override;
    void PrepareAudio(const Request& /*Ask*/, Progress& /*Report*/,
                      const AudioImage& /*Image*/) override {}
    void WriteAudio(const Request& Ask, Progress& Report, const AudioImage& Image) override;

    void ChooseOutput(Progress& Report, const Request& Ask, const SessionOutput& Output,
                      std::uint64_t& NextAddress) override;
    std::string CommitFile(bool NewDisc) const override { return WrittenFile(NewDisc); }
    bool TrackAtOnceInstead(const Request& /*Ask*/, Progress& /*Report*/) override { return false; }

    std::string WrittenFile(bool NewDisc) const override;
    std::optional<std::uint64_t> WrittenBytes(const std::string& Written) const override;
    XorrisoSession& ReadBack(Progress& Report, const std::string& Written, bool Reopen) override;

    void Complete(const Request& Ask, bool NewDisc, bool TrayShut) override;
    void Erase(const Request& Ask, Progress& Report) override;
    void Eject(Progress& Report) override;
    void Release() noexcept override {
        FReader.reset();
        Disc::Release();
    }

private:
    std::optional<XorrisoSession> FReader;
};

} // namespace Recorder
