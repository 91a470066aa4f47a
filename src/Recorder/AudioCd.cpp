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

} // namespace

void WriteAudioCd(const WriteContext& Context) {
    Disc& Onto = Context.Disc;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    const MediumState State = Onto.Acquire(Report, Acquiring::ToWriteAudio);
    const AudioRoom Room = Onto.RoomForAudio();
    const std::vector<AudioTrack> Tracks = CheckTracks(Context, Room.CheckShare);
    CheckFit(Context, Tracks.size(), Room.Pause + TrackSectors(Tracks), Room.Capacity);
    Onto.RequireCd(State);
    if (!State.Blank) {
        throw RecorderFailure(ExitCode::Medium, Onto.Describe() +
                                                    ": the disc is not blank; erase it first" +
                                                    Room.Remedy);
    }
    Onto.WriteAudio(Context.Ask, Report, ImageOf(Context, Tracks));
}

} // namespace Recorder
