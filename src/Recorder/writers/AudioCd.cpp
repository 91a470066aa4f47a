// An audio CD: the tracks decoded once to be checked, measured against the room the disc has for
// them, and handed to the disc with the CUE sheet and CD-TEXT it may carry.
#include "AudioCd.hpp"

#include "CueSheet.hpp"
#include "DiscTexts.hpp"
#include "RecorderFailure.hpp"

namespace Recorder {

namespace {

std::string SheetText(const WriteContext& Context, const std::vector<std::uint64_t>& Starts,
                      const std::string& BareName) {
    const DiscText Text = CueDiscText(Context);
    std::vector<CueLine> Sheet;
    if (Text.Performer) {
        Sheet.push_back(CueLine::QuotedLine("PERFORMER", *Text.Performer));
    }
    if (Text.Title) {
        Sheet.push_back(CueLine::QuotedLine("TITLE", *Text.Title));
    }
    Sheet.push_back(CueLine::FileLine(BareName));
    for (std::size_t I = 0; I < Starts.size(); ++I) {
        Sheet.push_back(CueLine::TrackLine(static_cast<std::uint32_t>(I + 1), "AUDIO"));
        if (I == 0) {
            Sheet.push_back(CueLine::IndexLine(0, 0));
        }
        Sheet.push_back(CueLine::IndexLine(1, Starts[I]));
    }
    return WriteCueSheet(Sheet);
}

AudioImage ImageOf(const WriteContext& Context, const std::vector<AudioTrack>& Tracks) {
    AudioImage Image;
    for (const AudioTrack& Track : Tracks) {
        Image.Tracks.push_back({.Path = Track.Path,
                                .Sectors = Track.Sectors(),
                                .Decode = [&Track](const auto& Sink, const auto& Done) {
                                    DecodeTrack(Track, Sink, Done);
                                }});
    }
    Image.Sheet = [&Context](const std::vector<std::uint64_t>& Starts,
                             const std::string& BareName) {
        return SheetText(Context, Starts, BareName);
    };
    const Request& Ask = Context.Ask;
    Image.TextLimit = CdTextLimit(Ask.Artist && Ask.Title ? 2 : 1, Tracks.size());
    Image.Summary = std::to_string(Tracks.size()) +
                    (Tracks.size() == 1 ? " audio track (" : " audio tracks (") +
                    PlayingTime(TrackSectors(Tracks)) + ")";
    return Image;
}

class AudioCdSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;

    std::optional<Acquiring> How() const override { return Acquiring::ToWriteAudio; }
    void CheckSources(const MediumState& /*State*/) override {
        FRoom = FContext.Disc.RoomForAudio();
        FTracks = CheckTracks(FContext, FRoom.CheckShare);
    }
    void CheckFit(const MediumState& /*State*/) override {
        Recorder::CheckFit(FContext, FTracks.size(), FRoom.Pause + TrackSectors(FTracks),
                           FRoom.Capacity);
    }
    // An audio CD is only ever a whole new disc: one that is not blank is refused, erase or not.
    void CheckMedium(const MediumState& State) override {
        FContext.Disc.RequireCd(State);
        if (!State.Blank) {
            throw RecorderFailure(ExitCode::Medium, FContext.Disc.Describe() +
                                                        ": the disc is not blank; erase it first" +
                                                        FRoom.Remedy);
        }
    }
    void Prepare() override {
        FImage = ImageOf(FContext, FTracks);
        FContext.Disc.PrepareAudio(FContext.Ask, FContext.Report, FImage);
    }
    void Write(const MediumState& /*State*/) override {
        FContext.Disc.WriteAudio(FContext.Ask, FContext.Report, FImage);
    }

private:
    AudioRoom FRoom;
    std::vector<AudioTrack> FTracks;
    AudioImage FImage;
};

} // namespace

std::unique_ptr<WriteSteps> WriteAudioCd(const WriteContext& Context) {
    return std::make_unique<AudioCdSteps>(Context);
}

} // namespace Recorder
