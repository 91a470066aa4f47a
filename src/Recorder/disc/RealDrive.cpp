#include "RealDrive.hpp"

#include "RecorderFailure.hpp"

#include <charconv>
#include <utility>

namespace Recorder {

std::size_t CountLines(const std::vector<std::string>& Lines, std::string_view Head) {
    std::size_t Count = 0;
    for (const std::string& Line : Lines) {
        Count += Line.starts_with(Head) ? 1U : 0U;
    }
    return Count;
}

std::optional<std::uint64_t> BlocksIn(const std::vector<std::string>& Lines,
                                      std::string_view Name) {
    for (const std::string& Line : Lines) {
        const std::size_t Colon = Line.find(':');
        if (!Line.starts_with(Name) || Colon == std::string::npos) {
            continue;
        }
        std::string_view Rest = std::string_view(Line).substr(Colon + 1);
        while (!Rest.empty() && Rest.front() == ' ') {
            Rest.remove_prefix(1);
        }
        std::uint64_t Value = 0;
        const auto [End, Error] = std::from_chars(Rest.data(), Rest.data() + Rest.size(), Value);
        if (Error == std::errc() && End != Rest.data() + Rest.size() && *End == 's') {
            return Value;
        }
    }
    return std::nullopt;
}

bool IsPressedProfile(std::string_view Profile) {
    return Profile.ends_with("-ROM");
}

bool IsCdProfile(std::string_view Profile) {
    return Profile.starts_with("CD");
}

bool IsRewritableProfile(std::string_view Profile) {
    return Profile.find("RW") != std::string_view::npos ||
           Profile.find("RAM") != std::string_view::npos || Profile.starts_with("BD-RE");
}

DriveState DriveStateOf(const std::vector<std::string>& Toc) {
    std::string Profile;
    std::string Status;
    for (const std::string& Line : Toc) {
        for (auto [Head, Value] :
             {std::pair{"Media current:", &Profile}, std::pair{"Media status :", &Status}}) {
            if (Line.starts_with(Head)) {
                *Value = Line.substr(std::string_view(Head).size());
            }
        }
    }
    while (!Profile.empty() && Profile.front() == ' ') {
        Profile.erase(0, 1);
    }
    DriveState State;
    State.Present = Status.find("is not present") == std::string::npos &&
                    Profile.find("is not present") == std::string::npos;
    State.Blank = State.Present && Status.find("is blank") != std::string::npos;
    const bool Closed = Status.find("is closed") != std::string::npos;
    State.Writable =
        State.Present && !IsPressedProfile(Profile) && !(Closed && !IsRewritableProfile(Profile));
    State.Sessions = CountLines(Toc, "ISO session");
    State.NextAddress = BlocksIn(Toc, "Media nwa").value_or(0);
    State.Profile = State.Present ? Profile : std::string();
    return State;
}

std::string NoDiscIn(const Target& Where) {
    return "no disc in " + Where.Describe() + ": put a disc in the drive and try again";
}

std::string NotWritableIn(const Target& Where) {
    return "the disc in " + Where.Describe() +
           " is not writable: it is pressed, or written and closed; put in a blank or "
           "rewritable disc";
}

std::string BusyDrive(const Target& Where) {
    return Where.Describe() +
           " is busy: another program or recorder run is using it; try again when it has ended";
}

void OpenDrive(XorrisoSession& Session, const Target& Where, bool Both) {
    if (!Session.Run({Both ? "-dev" : "-outdev", Where.Path})) {
        const std::string Problems = Session.LibraryProblems() + Session.Problems();
        const bool Busy = Problems.find("busy") != std::string::npos ||
                          Problems.find("Busy") != std::string::npos ||
                          Problems.find("in use") != std::string::npos;
        throw RecorderFailure(
            ExitCode::Target, Busy ? FailureKind::DriveBusy : FailureKind::NotADrive,
            Busy ? BusyDrive(Where) : Where.Describe() + ": not a drive that can write discs");
    }
}

DriveState AcquireDrive(XorrisoSession& Session, const Target& Where, bool LoadTree) {
    OpenDrive(Session, Where, LoadTree);
    Session.Require({"-toc"}, ExitCode::Target);
    DriveState State = DriveStateOf(Session.Results());
    if (!State.Present) {
        throw RecorderFailure(ExitCode::Medium, FailureKind::NoDisc, NoDiscIn(Where));
    }
    return State;
}

DriveState AcquireDriveToWrite(XorrisoSession& Session, const Target& Where, bool LoadTree) {
    DriveState State = AcquireDrive(Session, Where, LoadTree);
    if (!State.Writable) {
        throw RecorderFailure(ExitCode::Medium, FailureKind::Closed, NotWritableIn(Where));
    }
    return State;
}

std::optional<std::uint64_t> FreeBlocks(XorrisoSession& Session) {
    if (!Session.Run({"-tell_media_space"})) {
        return std::nullopt;
    }
    return BlocksIn(Session.Results(), "Media space");
}

std::vector<std::string> CdrecordArguments(const Request& Ask, const Target& Where,
                                           const CdrecordRun& Run) {
    std::vector<std::string> Command{"-as", "cdrecord", "dev=" + Where.Path};
    if (Run.Bytes) {
        Command.push_back("tsize=" + std::to_string(*Run.Bytes));
    }
    // N times the medium's base speed; 0 leaves the drive at its fastest.
    if (Ask.Speed != 0) {
        Command.push_back("speed=" + std::to_string(Ask.Speed) + (Run.Dvd ? "d" : "c"));
    }
    Command.emplace_back(Ask.Tao ? "-tao" : "-sao");
    for (const auto& [On, Option] : {std::pair{!Ask.CloseSession && !Run.Closed, "-multi"},
                                     std::pair{!Ask.DisableEject && !Run.KeepTray, "-eject"},
                                     std::pair{Run.Erase, "blank=as_needed"}}) {
        if (On) {
            Command.emplace_back(Option);
        }
    }
    Command.push_back(Run.IsCueSheet ? "cuefile=" + Run.Source : Run.Source);
    Command.emplace_back("--");
    return Command;
}

} // namespace Recorder
