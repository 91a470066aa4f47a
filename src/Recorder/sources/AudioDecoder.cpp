#include "AudioDecoder.hpp"

#include "LibraryWords.hpp"
#include "MediaFile.hpp"
#include "RecorderFailure.hpp"

#include <samplerate.h>
#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace Recorder {

namespace {

// Frames decoded at a time: 256 KiB of CD audio, few enough calls for a disc to be written at the
// pace of a plain copy.
constexpr std::size_t BlockFrames = 65536;

[[noreturn]] void Undecodable(const std::string& Path, const std::string& Reason,
                              FailureKind Kind = FailureKind::SourceUnreadable) {
    throw RecorderFailure(ExitCode::Source, Kind, "audio file " + Path + ": " + Reason);
}

// The decoders under libsndfile print notes of their own on standard error ("Note: Illegal
// Audio-MPEG-Header ..."), where only the recorder's one line per error belongs: while a file is
// open for decoding, standard error leads nowhere.
class QuietStandardError {
public:
    QuietStandardError() : FSaved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)) {
        const FileDescriptor Nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (FSaved.Get() >= 0 && Nowhere.Get() >= 0) {
            (void)::dup2(Nowhere.Get(), STDERR_FILENO);
        }
    }
    ~QuietStandardError() {
        if (FSaved.Get() >= 0) {
            (void)::dup2(FSaved.Get(), STDERR_FILENO);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;
    QuietStandardError(QuietStandardError&&) = delete;
    QuietStandardError& operator=(QuietStandardError&&) = delete;

private:
    FileDescriptor FSaved;
};

std::string DecoderReason(SNDFILE* File) {
    return RecorderReason(sf_strerror(File), ExitCode::Source);
}

// One audio file open for decoding; its samples beyond full scale are clipped, not wrapped round.
class SoundFile {
public:
    explicit SoundFile(const std::string& Path)
        : FPath(Path), FDescriptor(OpenMediaFile(Path, "audio file")),
          FFile(sf_open_fd(FDescriptor.Get(), SFM_READ, &FInfo, SF_FALSE)) {
        if (FFile == nullptr) {
            Undecodable(Path, DecoderReason(nullptr));
        }
        (void)sf_command(FFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        if (FInfo.channels < 1 || FInfo.channels > 2) {
            Undecodable(Path, std::to_string(FInfo.channels) +
                                  " channels: an audio CD holds two; mix it down to stereo first");
        }
        if (src_is_valid_ratio(static_cast<double>(CdRate) / FInfo.samplerate) == 0) {
            Undecodable(Path, "a sample rate of " + std::to_string(FInfo.samplerate) +
                                  " Hz cannot be converted to 44.1 kHz");
        }
    }
    ~SoundFile() { (void)sf_close(FFile); }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;
    SoundFile(SoundFile&&) = delete;
    SoundFile& operator=(SoundFile&&) = delete;

    int Rate() const noexcept { return FInfo.samplerate; }
    std::uint64_t DeclaredFrames() const noexcept {
        return FInfo.frames > 0 ? static_cast<std::uint64_t>(FInfo.frames) : 0;
    }
    // Whether the samples are stored as they are (PCM or floating point): their count follows from
    // the file's size, and reading them cannot fail to decode.
    bool Uncompressed() const noexcept {
        switch (FInfo.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return (FInfo.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_FLAC;
        default:
            return false;
        }
    }
    int Channels() const noexcept { return FInfo.channels; }

    // Reads up to Frames frames; 0 at the end of the file.
    std::size_t Read(short* Into, std::size_t Frames) {
        return Checked(sf_readf_short(FFile, Into, static_cast<sf_count_t>(Frames)));
    }
    std::size_t Read(float* Into, std::size_t Frames) {
        return Checked(sf_readf_float(FFile, Into, static_cast<sf_count_t>(Frames)));
    }

private:
    std::size_t Checked(sf_count_t Got) {
        if (Got < 0 || sf_error(FFile) != SF_ERR_NO_ERROR) {
            Undecodable(FPath, DecoderReason(FFile));
        }
        return static_cast<std::size_t>(Got);
    }

    QuietStandardError FQuiet;
    std::string FPath;
    SF_INFO FInfo{};
    FileDescriptor FDescriptor;
    SNDFILE* FFile;
};

// Collects stereo frames into whole sectors of little-endian bytes for the sink, taking at most
// Limit frames (what a resampler makes beyond the converted length is dropped).
class SectorSink {
public:
    SectorSink(const std::function<void(std::span<const char>)>& Sink, std::uint64_t Limit)
        : FSink(Sink), FLimit(Limit) {
        FBytes.reserve(BlockFrames * 8);
    }

    // Channels: 1 (each sample heard on both sides) or 2.
    void Put(const short* Samples, std::size_t Frames, int Channels) {
        Frames = static_cast<std::size_t>(std::min<std::uint64_t>(Frames, FLimit - FFrames));
        const std::size_t At = FBytes.size();
        FBytes.resize(At + Frames * 4);
        char* Out = FBytes.data() + At;
        const auto Step = static_cast<std::size_t>(Channels);
        for (std::size_t I = 0; I < Frames; ++I, Out += 4) {
            // Left, then right: for mono the same sample.
            const auto Left = static_cast<std::uint16_t>(Samples[I * Step]);
            const auto Right = static_cast<std::uint16_t>(Samples[I * Step + Step - 1]);
            Out[0] = static_cast<char>(Left & 0xFFU);
            Out[1] = static_cast<char>(Left >> 8U);
            Out[2] = static_cast<char>(Right & 0xFFU);
            Out[3] = static_cast<char>(Right >> 8U);
        }
        FFrames += Frames;
        if (FBytes.size() >= BlockFrames * 4) {
            Flush(false);
        }
    }

    std::uint64_t Frames() const noexcept { return FFrames; }

    // Pads the track with silence to Sectors whole sectors and hands over the rest.
    void Finish(std::uint64_t Sectors) {
        FBytes.resize(FBytes.size() + (Sectors * FramesPerSector - FFrames) * 4, 0);
        Flush(true);
    }

private:
    void Flush(bool All) {
        const std::size_t Whole =
            All ? FBytes.size() : FBytes.size() / RawSectorBytes * RawSectorBytes;
        FSink(std::span<const char>(FBytes.data(), Whole));
        FBytes.erase(FBytes.begin(), FBytes.begin() + static_cast<std::ptrdiff_t>(Whole));
    }

    const std::function<void(std::span<const char>)>& FSink;
    std::uint64_t FLimit;
    std::uint64_t FFrames = 0;
    std::vector<char> FBytes;
};

struct ResamplerDeleter {
    void operator()(SRC_STATE* State) const { src_delete(State); }
};

// Decodes at the file's own rate; returns the frames read.
std::uint64_t CopyFrames(SoundFile& File, SectorSink& Out, const AudioTrack& Track,
                         const std::function<void(double)>& Done) {
    std::vector<short> Block(BlockFrames * 2);
    std::uint64_t Read = 0;
    while (const std::size_t Got = File.Read(Block.data(), BlockFrames)) {
        Out.Put(Block.data(), Got, File.Channels());
        Read += Got;
        Done(static_cast<double>(Read) / static_cast<double>(Track.SourceFrames));
    }
    return Read;
}

// Decodes and converts to 44.1 kHz; returns the frames read.
std::uint64_t ResampleFrames(SoundFile& File, SectorSink& Out, const AudioTrack& Track,
                             const std::function<void(double)>& Done) {
    const int Channels = File.Channels();
    int Error = 0;
    const std::unique_ptr<SRC_STATE, ResamplerDeleter> State(
        src_new(SRC_SINC_MEDIUM_QUALITY, Channels, &Error));
    if (!State) {
        Undecodable(Track.Path, std::string("cannot be converted: ") + src_strerror(Error));
    }
    const double Ratio = static_cast<double>(CdRate) / File.Rate();
    // Fewer frames are read at a time from a file at a low rate, so that what they become at
    // 44.1 kHz still fits a block.
    const auto InFrames =
        static_cast<std::size_t>(static_cast<double>(BlockFrames) / std::max(1.0, Ratio) + 1);
    const auto OutFrames = static_cast<std::size_t>(static_cast<double>(InFrames) * Ratio) + 64;
    const auto Width = static_cast<std::size_t>(Channels);
    std::vector<float> In(InFrames * Width);
    std::vector<float> Converted(OutFrames * Width);
    std::vector<short> Samples(OutFrames * Width);
    std::uint64_t Read = 0;
    bool End = false;
    while (!End) {
        const std::size_t Got = File.Read(In.data(), InFrames);
        Read += Got;
        End = Got == 0;
        SRC_DATA Step{};
        Step.data_in = In.data();
        Step.input_frames = static_cast<long>(Got);
        Step.src_ratio = Ratio;
        Step.end_of_input = End ? 1 : 0;
        // At the end the resampler is asked until it has nothing more to give.
        do {
            Step.data_out = Converted.data();
            Step.output_frames = static_cast<long>(OutFrames);
            if (const int Failed = src_process(State.get(), &Step); Failed != 0) {
                Undecodable(Track.Path,
                            std::string("cannot be converted: ") + src_strerror(Failed));
            }
            src_float_to_short_array(Converted.data(), Samples.data(),
                                     static_cast<int>(Step.output_frames_gen * Channels));
            Out.Put(Samples.data(), static_cast<std::size_t>(Step.output_frames_gen), Channels);
            if (Step.input_frames > 0 && Step.input_frames_used == 0 &&
                Step.output_frames_gen == 0) {
                // Never expected of libsamplerate, but a loop that cannot end is worse than an
                // error.
                Undecodable(Track.Path, "the sample-rate converter made no progress");
            }
            Step.data_in += Step.input_frames_used * Channels;
            Step.input_frames -= Step.input_frames_used;
        } while (Step.input_frames > 0 || (End && Step.output_frames_gen > 0));
        Done(static_cast<double>(Read) / static_cast<double>(Track.SourceFrames));
    }
    return Read;
}

} // namespace

std::uint64_t ConvertedFrames(std::uint64_t Frames, int Rate) {
    const auto From = static_cast<std::uint64_t>(Rate);
    return Rate == CdRate ? Frames : (Frames * CdRate + From / 2) / From;
}

std::uint64_t AudioTrack::Frames() const {
    return ConvertedFrames(SourceFrames, Rate);
}

std::uint64_t AudioTrack::Sectors() const {
    return std::max((Frames() + FramesPerSector - 1) / FramesPerSector, ShortestTrackSectors);
}

AudioTrack CheckTrack(const std::string& Path) {
    SoundFile File(Path);
    AudioTrack Track{Path, File.Rate(), File.Channels(), File.DeclaredFrames()};
    // Stored samples need no trial: the write finds a file that since became shorter or longer.
    if (!File.Uncompressed()) {
        Track.SourceFrames = 0;
        std::vector<short> Block(BlockFrames * 2);
        while (const std::size_t Got = File.Read(Block.data(), BlockFrames)) {
            Track.SourceFrames += Got;
        }
    }
    if (Track.SourceFrames == 0) {
        Undecodable(Path, "holds no sound");
    }
    return Track;
}

void DecodeTrack(const AudioTrack& Track, const std::function<void(std::span<const char>)>& Sink,
                 const std::function<void(double Done)>& Done) {
    SoundFile File(Track.Path);
    if (File.Rate() != Track.Rate || File.Channels() != Track.Channels) {
        Undecodable(Track.Path, "changed since it was checked", FailureKind::SourceChanged);
    }
    SectorSink Out(Sink, Track.Frames());
    const std::uint64_t Read = File.Rate() == CdRate ? CopyFrames(File, Out, Track, Done)
                                                     : ResampleFrames(File, Out, Track, Done);
    if (Read != Track.SourceFrames) {
        Undecodable(Track.Path,
                    "changed since it was checked (" + std::to_string(Read) +
                        " frames instead of " + std::to_string(Track.SourceFrames) + ")",
                    FailureKind::SourceChanged);
    }
    Out.Finish(Track.Sectors());
}

} // namespace Recorder
