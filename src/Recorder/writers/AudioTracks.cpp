#include "AudioCd.hpp"

#include "CueSheet.hpp"
#include "DiscTexts.hpp"
#include "RecorderFailure.hpp"

#include <cstdio>

namespace Recorder {

std::vector<AudioTrack> CheckTracks(const WriteContext& Context, double Share) {
    std::vector<AudioTrack> Tracks;
    const std::vector<std::string>& Entries = Context.Ask.Entries;
    for (const std::string& Entry : Entries) {
        Tracks.push_back(CheckTrack(Entry));
        Context.Report.Update(Share * static_cast<double>(Tracks.size()) /
                              static_cast<double>(Entries.size()));
    }
    return Tracks;
}

std::uint64_t TrackSectors(const std::vector<AudioTrack>& Tracks) {
    std::uint64_t Sectors = 0;
    for (const AudioTrack& Track : Tracks) {
        Sectors += Track.Sectors();
    }
    return Sectors;
}

void CheckFit(const WriteContext& Context, std::size_t Tracks, std::uint64_t Needed,
              std::uint64_t Capacity) {
    const std::string Disc = Context.Where.Describe();
    if (Tracks > MostTracks) {
        throw RecorderFailure(ExitCode::Fit, Disc + ": " + std::to_string(Tracks) +
                                                 " tracks, an audio CD holds at most 99");
    }
    if (Needed > Capacity) {
        throw RecorderFailure(ExitCode::Fit, Disc + ": the tracks need " + std::to_string(Needed) +
                                                 " sectors (" + PlayingTime(Needed) +
                                                 "), the disc holds " + std::to_string(Capacity) +
                                                 " (" + PlayingTime(Capacity) + ")");
    }
}

DiscText CueDiscText(const WriteContext& Context) {
    DiscText Text;
    const struct {
        const std::optional<std::string>& Given;
        std::optional<std::string>& Carried;
        const char* Name;
    } Fields[] = {{Context.Ask.Artist, Text.Performer, "artist"},
                  {Context.Ask.Title, Text.Title, "title"}};
    for (const auto& Field : Fields) {
        if (!Field.Given) {
            continue;
        }
        bool Changed = false;
        Field.Carried = CueText(*Field.Given, Changed);
        if (Changed) {
            Context.Report.Say(std::string(Field.Name) + " written as \"" + *Field.Carried +
                               "\": a CUE sheet carries no double quote or line break");
        }
        if (Utf8Characters(*Field.Carried) > CueTextCharacters) {
            Field.Carried = std::string(CutUtf8Characters(*Field.Carried, CueTextCharacters));
            Context.Report.Say(std::string(Field.Name) + " cut to \"" + *Field.Carried +
                               "\": a CUE sheet's CD-TEXT holds 80 characters");
        }
    }
    return Text;
}

std::string PlayingTime(std::uint64_t Sectors) {
    const std::uint64_t Seconds = (Sectors + 74) / 75;
    char Text[32];
    (void)std::snprintf(Text, sizeof Text, "%02llu:%02llu",
                        static_cast<unsigned long long>(Seconds / 60),
                        static_cast<unsigned long long>(Seconds % 60));
    return Text;
}

} // namespace Recorder
