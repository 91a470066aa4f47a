#include "DriveDisc.hpp"

#include "LibraryWords.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"

namespace Recorder {

MediumState DriveDisc::Acquire(Progress& Report, Acquiring How) {
    if (How == Acquiring::ToWriteAudio) {
        return AcquireForAudio();
    }
    XorrisoSession& Drive = Session(Report);
    const bool LoadTree = How == Acquiring::ToContinue;
    const DriveState Found = How == Acquiring::ToLook
                                 ? AcquireDrive(Drive, Where())
                                 : AcquireDriveToWrite(Drive, Where(), LoadTree);
    MediumState State;
    State.Blank = Found.Blank;
    State.Kind = Found.Blank ? VirtualDiscKind::Blank : VirtualDiscKind::Appendable;
    State.Sessions = Found.Sessions;
    State.NextAddress = Found.NextAddress;
    State.Profile = Found.Profile;
    return State;
}

std::optional<std::uint64_t> DriveDisc::FreeBlocks() {
    return Recorder::FreeBlocks(Session());
}

void DriveDisc::RequireCd(const MediumState& State) const {
    if (IsCdProfile(State.Profile)) {
        return;
    }
    throw RecorderFailure(ExitCode::Medium, "the disc in " + Describe() + " is a " + State.Profile +
                                                ": this burn writes a CD's sectors, which only "
                                                "a CD takes; put in a CD-R or CD-RW");
}

void DriveDisc::ChooseOutput(Progress& Report, const Request& Ask, const SessionOutput& Output,
                             std::uint64_t& NextAddress) {
    if (Output.Refused) {
        return; // only measured, against the disc in the drive
    }
    XorrisoSession& Drive = Session(Report);
    if (Output.Erasing) {
        Drive.Require({"-blank", "as_needed"}, ExitCode::Medium);
        NextAddress = 0;
    }
    if (!Output.NewDisc && *Ask.Import > 0) {
        Drive.Require({"-load", "session", std::to_string(*Ask.Import)}, ExitCode::Medium);
    }
    Drive.Require(
        {"-speed", Ask.Speed == 0 ? "0" : std::to_string(Ask.Speed) + (Ask.Dvd ? "d" : "c")},
        ExitCode::Target);
    Drive.Require({"-close", Ask.CloseSession ? "on" : "off"}, ExitCode::Target);
    Drive.Require({"-write_type", Ask.Tao ? "tao" : "auto"}, ExitCode::Target);
}

bool DriveDisc::TrackAtOnceInstead(const Request& Ask, Progress& Report) {
    XorrisoSession& Drive = Session(Report);
    if (Ask.Tao || !Drive.Run({"-toc"}) || !DriveStateOf(Drive.Results()).Blank) {
        return false;
    }
    Report.Say(Describe() + " refused to write the session at once; writing it track at once "
                            "(Tao, --tao) instead");
    Report.Begin("writing");
    return true;
}

bool DriveDisc::CdrecordTrackAtOnceInstead(const Request& Ask, Progress& Report) {
    EndSession();
    OpenDrive(Session(Report), Where());
    const bool Again = TrackAtOnceInstead(Ask, Report);
    EndSession();
    (void)Session(Report);
    return Again;
}

XorrisoSession& DriveDisc::ReadBack(Progress& Report, const std::string& /*Written*/, bool Reopen) {
    // The session that wrote the disc reads it back: libburn lets a process hold a drive once,
    // the writing session still holds it (so no other program takes it between the write and its
    // check), and after a write of its own it has loaded the new disc's tree from the drive.
    XorrisoSession& Drive = Session(Report);
    if (Reopen && !Drive.Run({"-indev", Where().Path})) {
        throw RecorderFailure(ExitCode::Verify,
                              Describe() + ": " + std::string(NotReadBackReason()));
    }
    return Drive;
}

void DriveDisc::Complete(const Request& Ask, bool /*NewDisc*/, bool TrayShut) {
    if (TrayShut && !Ask.DisableEject) {
        Session().Require({"-eject", "all"}, ExitCode::Write);
    }
}

void DriveDisc::Erase(const Request& Ask, Progress& Report) {
    const MediumState State = Acquire(Report, Acquiring::ToWrite);
    // A write-once disc is refused by name: libburn's refusal, or its "nothing to blank" on a
    // blank one, would tell the user nothing of why.
    if (!IsRewritableProfile(State.Profile)) {
        throw RecorderFailure(ExitCode::Medium, FailureKind::NotRewritable,
                              "the disc in " + Describe() + " is a " + State.Profile +
                                  ", which cannot be erased: only rewritable discs (CD-RW, "
                                  "DVD-RW, DVD+RW, BD-RE) can");
    }
    Session(Report).Require({"-blank", Ask.EntireErase ? "all" : "fast"}, ExitCode::Medium);
    Report.End();
}

void DriveDisc::Eject(Progress& Report) {
    XorrisoSession& Drive = Session(Report);
    OpenDrive(Drive, Where());
    Drive.Require({"-eject", "all"}, ExitCode::Target);
    Report.Say("ejected " + Describe());
}

} // namespace Recorder
