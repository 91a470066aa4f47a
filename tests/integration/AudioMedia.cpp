#include "AudioMedia.hpp"

#include "RecorderSupport.hpp"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace RecorderTest {

namespace {

void Put32(std::string& Out, std::uint32_t Value) {
    for (int Shift = 0; Shift < 32; Shift += 8) {
        Out += static_cast<char>((Value >> Shift) & 0xFFU);
    }
}

void Put16(std::string& Out, std::uint16_t Value) {
    Out += static_cast<char>(Value & 0xFFU);
    Out += static_cast<char>(Value >> 8U);
}

std::uint64_t Sectors(const std::string& Time) {
    unsigned Minutes = 0;
    unsigned Seconds = 0;
    unsigned Frames = 0;
    char Colon1 = 0;
    char Colon2 = 0;
    std::istringstream In(Time);
    In >> Minutes >> Colon1 >> Seconds >> Colon2 >> Frames;
    if (!In || Colon1 != ':' || Colon2 != ':') {
        throw std::runtime_error("not a CUE time: " + Time);
    }
    return (Minutes * 60ULL + Seconds) * 75 + Frames;
}

// The rest of a line after its keyword, without the quotes around it.
std::string Value(std::istringstream& Line) {
    std::string Rest;
    std::getline(Line >> std::ws, Rest);
    if (Rest.starts_with('"')) {
        const std::size_t Close = Rest.find('"', 1);
        return Rest.substr(1, Close - 1);
    }
    return Rest;
}

} // namespace

Samples Tone(std::uint64_t Frames, int Channels, int Rate, double Frequency) {
    Samples Sound;
    Sound.reserve(Frames * static_cast<std::uint64_t>(Channels));
    const double Pi = std::numbers::pi;
    for (std::uint64_t I = 0; I < Frames; ++I) {
        const double T = static_cast<double>(I) / Rate;
        const double Swell = 0.55 + 0.45 * std::sin(2 * Pi * 0.7 * T);
        for (int C = 0; C < Channels; ++C) {
            const double Wave = 0.6 * std::sin(2 * Pi * Frequency * T + C) +
                                0.4 * std::sin(2 * Pi * Frequency * 2.37 * T);
            Sound.push_back(static_cast<short>(std::lround(20000.0 * Swell * Wave)));
        }
    }
    return Sound;
}

void WriteSound(const fs::path& Path, const Samples& Sound, int Channels, int Rate, int Format) {
    SF_INFO Info{};
    Info.samplerate = Rate;
    Info.channels = Channels;
    Info.format = Format;
    SNDFILE* File = sf_open(Path.c_str(), SFM_WRITE, &Info);
    if (File == nullptr) {
        throw std::runtime_error(Path.string() + ": " + sf_strerror(nullptr));
    }
    const auto Frames = static_cast<sf_count_t>(Sound.size() / static_cast<std::size_t>(Channels));
    sf_count_t Written = 0;
    if ((Format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
        Written = sf_writef_short(File, Sound.data(), Frames);
    } else {
        std::vector<float> Floats;
        for (const short Sample : Sound) {
            Floats.push_back(static_cast<float>(Sample) / 32768.0F);
        }
        Written = sf_writef_float(File, Floats.data(), Frames);
    }
    sf_close(File);
    if (Written != Frames) {
        throw std::runtime_error(Path.string() + ": short write");
    }
}

void MakeSilentWav(const fs::path& Path, std::uint64_t Frames) {
    const std::uint64_t DataBytes = Frames * 4;
    std::string Head = "RIFF";
    Put32(Head, static_cast<std::uint32_t>(36 + DataBytes));
    Head += "WAVEfmt ";
    Put32(Head, 16);
    Put16(Head, 1); // PCM
    Put16(Head, 2);
    Put32(Head, 44100);
    Put32(Head, 44100 * 4);
    Put16(Head, 4);
    Put16(Head, 16);
    Head += "data";
    Put32(Head, static_cast<std::uint32_t>(DataBytes));
    {
        std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
        Out.write(Head.data(), static_cast<std::streamsize>(Head.size()));
    }
    fs::resize_file(Path, Head.size() + DataBytes);
}

CueDisc ReadCue(const fs::path& Sheet) {
    CueDisc Disc;
    std::ifstream In(Sheet);
    for (std::string Text; std::getline(In, Text);) {
        std::istringstream Line(Text);
        std::string Keyword;
        Line >> Keyword;
        if (Keyword == "PERFORMER" && Disc.Tracks.empty()) {
            Disc.Performer = Value(Line);
        } else if (Keyword == "TITLE" && Disc.Tracks.empty()) {
            Disc.Title = Value(Line);
        } else if (Keyword == "FILE") {
            // FILE "name" TYPE: the name may hold blanks, the type is the last word.
            const std::string Rest = Text.substr(Text.find("FILE") + 5);
            Disc.FileType = Rest.substr(Rest.rfind(' ') + 1);
            std::istringstream Named(Rest.substr(0, Rest.rfind(' ')));
            Disc.File = Value(Named);
        } else if (Keyword == "TRACK") {
            CueTrack Track;
            Line >> Track.Number >> Track.Mode;
            Disc.Tracks.push_back(Track);
        } else if (Keyword == "INDEX" && !Disc.Tracks.empty()) {
            int Number = -1;
            std::string Time;
            Line >> Number >> Time;
            if (Number == 0) {
                Disc.Tracks.back().Index0 = static_cast<std::int64_t>(Sectors(Time));
            } else if (Number == 1) {
                Disc.Tracks.back().Start = Sectors(Time);
            }
        }
    }
    return Disc;
}

Samples ReadSectors(const fs::path& Bin, std::uint64_t First, std::uint64_t Frames) {
    std::ifstream In(Bin, std::ios::binary);
    In.seekg(static_cast<std::streamoff>(First * 2352));
    std::string Bytes(Frames * 4, '\0');
    In.read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    Bytes.resize(static_cast<std::size_t>(In.gcount()));
    Samples Sound(Bytes.size() / 2);
    for (std::size_t I = 0; I < Sound.size(); ++I) {
        Sound[I] = static_cast<short>(static_cast<unsigned char>(Bytes[2 * I]) |
                                      (static_cast<unsigned char>(Bytes[2 * I + 1]) << 8U));
    }
    return Sound;
}

double SignalToNoise(const Samples& Expected, const Samples& Actual) {
    double Signal = 0;
    double Noise = 0;
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        const double Want = Expected[I];
        const double Got = I < Actual.size() ? Actual[I] : 0.0;
        Signal += Want * Want;
        Noise += (Want - Got) * (Want - Got);
    }
    return 10 * std::log10(Signal / std::max(Noise, 1e-9));
}

Samples BothChannels(const Samples& Mono) {
    Samples Stereo;
    for (const short Sample : Mono) {
        Stereo.push_back(Sample);
        Stereo.push_back(Sample);
    }
    return Stereo;
}

Samples ReadSound(const fs::path& Path, int& Channels, int& Rate) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (File == nullptr) {
        throw std::runtime_error(Path.string() + ": " + sf_strerror(nullptr));
    }
    Samples Sound(static_cast<std::size_t>(Info.frames * Info.channels));
    const sf_count_t Read = sf_readf_short(File, Sound.data(), Info.frames);
    sf_close(File);
    Sound.resize(static_cast<std::size_t>(Read * Info.channels));
    Channels = Info.channels;
    Rate = Info.samplerate;
    return Sound;
}

std::uint64_t SectorsOf(std::uint64_t Frames) {
    return std::max<std::uint64_t>((Frames + FramesPerSector - 1) / FramesPerSector, 300);
}

Strings AudioCommand(const Strings& Options, const Strings& Tracks) {
    Strings Arguments{"--write", "--drivename", "E", "--real"};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), {"--recursive", "--speed", "4", "--audio"});
    Arguments.insert(Arguments.end(), Tracks.begin(), Tracks.end());
    return Arguments;
}

fs::path SheetOf(const fs::path& Bin) {
    return fs::path(Bin).replace_extension(".cue");
}

} // namespace RecorderTest
