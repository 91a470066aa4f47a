// An audio CD on a real drive, through libburn: every track decoded into a temporary file first,
// so that the drive is never kept waiting for the decoder, then one session of audio tracks,
// closed so that CD players read it, with CD-TEXT when the session is written at once.
#include "DriveDisc.hpp"

#include "CdText.hpp"
#include "DiscGeometry.hpp"
#include "LibraryWords.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "WritingThreads.hpp"

#include <fcntl.h>
#include <libburn/libburn.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

namespace Recorder {

// libburn's header puts its C API in this namespace when compiled as C++.
using namespace burn;

namespace {

// The latest of libburn's queued messages of severity SORRY or worse, in the recorder's words, for
// a failure of kind Kind; Otherwise when libburn said nothing.
std::string LibburnReason(ExitCode Kind, const std::string& Otherwise) {
    std::string Reason;
    int Code = 0;
    int OsError = 0;
    char Text[BURN_MSGS_MESSAGE_LEN] = {};
    char Severity[80] = {};
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &Code, Text, &OsError, Severity) == 1) {
        Reason = Text;
    }
    return Reason.empty() ? Otherwise : RecorderReason(Reason, Kind);
}

// libburn for the length of one run, its messages queued for the reasons of failures.
class Library {
public:
    explicit Library(const Target& Where) {
        if (burn_initialize() != 1) {
            throw RecorderFailure(ExitCode::Write,
                                  Where.Describe() + ": cannot start the burning library");
        }
        (void)burn_msgs_set_severities(const_cast<char*>("ALL"), const_cast<char*>("NEVER"),
                                       const_cast<char*>("recorder: "));
    }
    ~Library() { burn_finish(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    Library(Library&&) = delete;
    Library& operator=(Library&&) = delete;
};

// The drive, grabbed for the run and released at its end (ejecting when asked to).
class GrabbedDrive {
public:
    explicit GrabbedDrive(const Target& Where) {
        char Address[BURN_DRIVE_ADR_LEN] = {};
        std::string Path = Where.Path;
        if (burn_drive_convert_fs_adr(Path.data(), Address) <= 0) {
            (void)std::snprintf(Address, sizeof Address, "%s", Path.c_str());
        }
        if (burn_drive_scan_and_grab(&FInfo, Address, 1) != 1 || FInfo == nullptr) {
            throw RecorderFailure(
                ExitCode::Target,
                Where.Describe() + ": " +
                    LibburnReason(ExitCode::Target, "not a drive the recorder can write to"));
        }
    }
    ~GrabbedDrive() {
        burn_drive_release(Get(), FEject ? 1 : 0);
        burn_drive_info_free(FInfo);
    }
    GrabbedDrive(const GrabbedDrive&) = delete;
    GrabbedDrive& operator=(const GrabbedDrive&) = delete;
    GrabbedDrive(GrabbedDrive&&) = delete;
    GrabbedDrive& operator=(GrabbedDrive&&) = delete;

    burn_drive* Get() const noexcept { return FInfo[0].drive; }
    void EjectAtRelease() noexcept { FEject = true; }

private:
    burn_drive_info* FInfo = nullptr;
    bool FEject = false;
};

// libburn's objects, each freed by its own function.
template <typename Object, void (*Free)(Object*)>
struct Freed {
    void operator()(Object* Owned) const { Free(Owned); }
};
using DiscPtr = std::unique_ptr<burn_disc, Freed<burn_disc, burn_disc_free>>;
using SessionPtr = std::unique_ptr<burn_session, Freed<burn_session, burn_session_free>>;
using TrackPtr = std::unique_ptr<burn_track, Freed<burn_track, burn_track_free>>;
using SourcePtr = std::unique_ptr<burn_source, Freed<burn_source, burn_source_free>>;
using OptionsPtr = std::unique_ptr<burn_write_opts, Freed<burn_write_opts, burn_write_opts_free>>;

void SetText(Progress& Report, burn_session* Session, const std::vector<burn_track*>& Tracks,
             const char* Pack, const std::optional<std::string>& Value, const char* Name,
             std::size_t Limit) {
    if (!Value) {
        return;
    }
    bool Changed = false;
    std::string Text = Latin1(*Value, Changed);
    if (Changed) {
        Report.Say(std::string(Name) + " written to CD-TEXT as \"" + Text +
                   "\": CD-TEXT holds ISO 8859-1 characters");
    }
    // One byte a character now, so any cut is at a character boundary.
    if (Text.size() + 1 > Limit) {
        Text.resize(Limit - 1);
        Report.Say(std::string(Name) + " cut to \"" + Text + "\": CD-TEXT holds " +
                   std::to_string(Limit - 1) + " bytes a text on a disc of " +
                   std::to_string(Tracks.size()) + " tracks");
    }
    auto* Bytes = reinterpret_cast<unsigned char*>(Text.data());
    const int Length = static_cast<int>(Text.size() + 1);
    (void)burn_session_set_cdtext(Session, 0, 0, const_cast<char*>(Pack), Bytes, Length, 0);
    // libburn writes a disc's text only when each track has the same kind of text too.
    for (burn_track* Track : Tracks) {
        (void)burn_track_set_cdtext(Track, 0, 0, const_cast<char*>(Pack), Bytes, Length, 0);
    }
}

// The track's sectors in a temporary file, unlinked from the start; its descriptor is handed to
// libburn, whose source closes it.
int DecodeToTemporaryFile(const AudioTrackData& Track) {
    const char* Folder = std::getenv("TMPDIR");
    const int Fd = ::open(Folder != nullptr && *Folder != '\0' ? Folder : "/tmp",
                          O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (Fd < 0) {
        throw RecorderFailure(ExitCode::Write, "cannot make a temporary file for " + Track.Path +
                                                   ": " + std::strerror(errno));
    }
    try {
        Track.Decode(
            [&](std::span<const char> Bytes) {
                for (std::size_t Done = 0; Done < Bytes.size();) {
                    const ssize_t Put = ::write(Fd, Bytes.data() + Done, Bytes.size() - Done);
                    if (Put <= 0) {
                        throw RecorderFailure(ExitCode::Write, "cannot keep the decoded " +
                                                                   Track.Path + ": " +
                                                                   std::strerror(errno));
                    }
                    Done += static_cast<std::size_t>(Put);
                }
            },
            [](double) {});
    } catch (...) {
        ::close(Fd);
        throw;
    }
    (void)::lseek(Fd, 0, SEEK_SET);
    return Fd;
}

// Waits for libburn's write, reporting its progress.
void FollowWrite(Progress& Report, burn_drive* Drive) {
    using namespace std::chrono_literals;
    // The write starts in a thread of libburn's; the drive turns busy soon after.
    while (burn_drive_get_status(Drive, nullptr) == BURN_DRIVE_SPAWNING) {
        std::this_thread::sleep_for(100ms);
    }
    burn_progress Now{};
    while (burn_drive_get_status(Drive, &Now) != BURN_DRIVE_IDLE) {
        if (Now.sectors > 0 && Now.sector >= 0) {
            Report.Update(static_cast<std::uint64_t>(Now.sector) * RawSectorBytes,
                          static_cast<std::uint64_t>(Now.sectors) * RawSectorBytes);
        }
        std::this_thread::sleep_for(250ms);
    }
}

// The CD's one session, its tracks each from their temporary file.
class AudioSession {
public:
    AudioSession() : FDisc(burn_disc_create()), FSession(burn_session_create()) {
        (void)burn_disc_add_session(FDisc.get(), FSession.get(), BURN_POS_END);
    }

    void Add(const AudioTrackData& Track) {
        const int Fd = DecodeToTemporaryFile(Track);
        const auto Bytes = static_cast<off_t>(Track.Sectors * RawSectorBytes);
        SourcePtr Source(burn_fd_source_new(Fd, -1, Bytes));
        if (!Source) {
            ::close(Fd);
            throw RecorderFailure(ExitCode::Write, "cannot hand " + Track.Path + " to libburn");
        }
        TrackPtr Added(burn_track_create());
        burn_track_define_data(Added.get(), 0, 0, 1, BURN_AUDIO);
        if (burn_track_set_source(Added.get(), Source.get()) != BURN_SOURCE_OK ||
            burn_session_add_track(FSession.get(), Added.get(), BURN_POS_END) != 1) {
            throw RecorderFailure(ExitCode::Write, "cannot hand " + Track.Path + " to libburn");
        }
        FTracks.push_back(Added.get());
        FOwned.push_back(std::move(Added));
        FSources.push_back(std::move(Source));
    }

    burn_disc* Disc() const noexcept { return FDisc.get(); }
    burn_session* Session() const noexcept { return FSession.get(); }
    const std::vector<burn_track*>& Tracks() const noexcept { return FTracks; }

private:
    DiscPtr FDisc;
    SessionPtr FSession;
    std::vector<SourcePtr> FSources;
    std::vector<TrackPtr> FOwned;
    std::vector<burn_track*> FTracks;
};

// Write options as the run asks them: one closed session, written at once unless --tao, at the
// speed asked.
OptionsPtr WriteOptions(const Request& Ask, burn_drive* Drive) {
    OptionsPtr Options(burn_write_opts_new(Drive));
    (void)burn_write_opts_set_write_type(Options.get(), Ask.Tao ? BURN_WRITE_TAO : BURN_WRITE_SAO,
                                         Ask.Tao ? BURN_BLOCK_MODE1 : BURN_BLOCK_SAO);
    burn_write_opts_set_multi(Options.get(), 0);
    (void)burn_write_opts_set_underrun_proof(Options.get(), 1);
    // N times 176.4 kB/s, rounded up as libburn asks; 0 is the drive's fastest.
    burn_drive_set_speed(Drive, 0, Ask.Speed == 0 ? 0 : (Ask.Speed * 1764 + 9) / 10);
    return Options;
}

} // namespace

// libburn and the drive it grabbed, for an audio CD.
struct DriveDisc::AudioDrive {
    explicit AudioDrive(const Target& Where) : Burning(Where), Drive(Where) {}
    Library Burning;
    GrabbedDrive Drive;
    // The session handed over, and the options it is written with, once prepared.
    std::optional<AudioSession> Tracks;
    OptionsPtr Options;
};

DriveDisc::DriveDisc(const Target& Where, MediumUse Use) : Disc(Where, Use) {}

DriveDisc::~DriveDisc() = default;

void DriveDisc::Release() noexcept {
    FAudio.reset();
    Disc::Release();
}

MediumState DriveDisc::AcquireForAudio() {
    FAudio = std::make_unique<AudioDrive>(Where());
    burn_drive* Drive = FAudio->Drive.Get();
    const enum burn_disc_status Status = burn_disc_get_status(Drive);
    // Without a disc there is nothing to measure the tracks against, and a disc that takes
    // nothing is said before the tracks are decoded.
    if (Status == BURN_DISC_EMPTY) {
        throw RecorderFailure(ExitCode::Medium, FailureKind::NoDisc, NoDiscIn(Where()));
    }
    int ProfileNumber = 0;
    std::array<char, 80> Profile{};
    (void)burn_disc_get_profile(Drive, &ProfileNumber, Profile.data());
    if (IsPressedProfile(Profile.data()) ||
        (Status == BURN_DISC_FULL && burn_disc_erasable(Drive) == 0)) {
        throw RecorderFailure(ExitCode::Medium, FailureKind::Closed, NotWritableIn(Where()));
    }
    MediumState State;
    State.Blank = Status == BURN_DISC_BLANK;
    State.Kind = State.Blank ? VirtualDiscKind::Blank : VirtualDiscKind::Appendable;
    State.Profile = Profile.data();
    return State;
}

AudioRoom DriveDisc::RoomForAudio() {
    // The drive writes the pause before the first track itself, outside the space it reports.
    if (!FAudio) {
        return {
            .Pause = 0, .Capacity = FreeBlocks().value_or(0), .CheckShare = 100.0, .Remedy = {}};
    }
    burn_drive* Drive = FAudio->Drive.Get();
    const OptionsPtr Options(burn_write_opts_new(Drive));
    const off_t Space = burn_disc_available_space(Drive, Options.get());
    return {.Pause = 0,
            .Capacity = static_cast<std::uint64_t>(std::max<off_t>(Space, 0)) / DataBlockBytes,
            .CheckShare = 50.0,
            .Remedy = {}};
}

void DriveDisc::PrepareAudio(const Request& Ask, Progress& Report, const AudioImage& Image) {
    burn_drive* Drive = FAudio->Drive.Get();
    AudioSession& Disc = FAudio->Tracks.emplace();
    for (std::size_t I = 0; I < Image.Tracks.size(); ++I) {
        Disc.Add(Image.Tracks[I]);
        Report.Update(50.0 +
                      50.0 * static_cast<double>(I + 1) / static_cast<double>(Image.Tracks.size()));
    }
    for (const auto& [Pack, Value, Name] :
         {std::tuple{"PERFORMER", Ask.Artist, "artist"}, std::tuple{"TITLE", Ask.Title, "title"}}) {
        SetText(Report, Disc.Session(), Disc.Tracks(), Pack, Value, Name, Image.TextLimit);
    }
    if (Ask.Tao && (Ask.Artist || Ask.Title)) {
        Report.Say("CD-TEXT is written only when the whole disc is written at once: with --tao "
                   "the disc has none");
    }
    FAudio->Options = WriteOptions(Ask, Drive);
    char Reasons[BURN_REASONS_LEN] = {};
    if (burn_precheck_write(FAudio->Options.get(), Disc.Disc(), Reasons, 0) <= 0) {
        throw RecorderFailure(ExitCode::Medium,
                              Describe() + ": " + RecorderReason(Reasons, ExitCode::Medium));
    }
}

void DriveDisc::WriteAudio(const Request& Ask, Progress& Report, const AudioImage& Image) {
    burn_drive* Drive = FAudio->Drive.Get();
    const AudioSession& Disc = *FAudio->Tracks;
    const OptionsPtr& Options = FAudio->Options;
    Report.Begin("writing");
    RequireWritingThreads(Describe());
    burn_disc_write(Options.get(), Disc.Disc());
    FollowWrite(Report, Drive);
    if (burn_drive_wrote_well(Drive) != 1) {
        throw RecorderFailure(ExitCode::Write,
                              Describe() + ": " +
                                  LibburnReason(ExitCode::Write, "the write failed"));
    }
    Report.End();
    if (!Ask.DisableEject) {
        FAudio->Drive.EjectAtRelease();
    }
    Report.Say("wrote " + Image.Summary + " to " + Describe());
}

} // namespace Recorder
