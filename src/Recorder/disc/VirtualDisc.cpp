#include "VirtualDisc.hpp"

#include "CueSheet.hpp"
#include "DiscFiles.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "RecorderFailure.hpp"
#include "TestHooks.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

MediumState VirtualDisc::Acquire(Progress& /*Report*/, Acquiring How) {
    if (How == Acquiring::ToWriteRaw) {
        (void)CueSheetPathOf(Where().Path); // a name no sheet can sit beside is a target error
    } else if (How == Acquiring::ToWriteAudio) {
        CheckSheetPlace(Where());
    }
    MediumState State;
    State.Kind = Hold().Kind();
    State.Blank = State.Kind == VirtualDiscKind::Blank;
    // Only a disc of the appendable kind is continued: a closed one, or raw CD sectors, would be
    // taken by the library for a disc with free space after its end.
    State.TreeToLoad = How == Acquiring::ToContinue && State.Kind == VirtualDiscKind::Appendable;
    return State;
}

void VirtualDisc::SayOfFile(Progress& Report, const std::string& Text) const {
    Report.Say(Text);
}

void VirtualDisc::WriteImage(const Request& /*Ask*/, Progress& Report, const ImageToWrite& Image,
                             bool /*Blank*/) {
    Report.Begin("writing", Image.Bytes);
    const std::string Scratch = ScratchDisc();
    const FileDescriptor To(
        ::open(Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (To.Get() < 0) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": " + std::strerror(errno));
    }
    std::uint64_t Done = 0;
    (void)CopyAll(Where(), Image.Fd, To.Get(), "image " + Image.Path,
                  [&Report, &Done, &Image](std::uint64_t Bytes) {
                      Done += Bytes;
                      Report.Update(Done, Image.Bytes);
                  });
    // The image was measured before the write; one that changed since is not the one checked.
    if (Done != Image.Bytes) {
        throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                              "image " + Image.Path + ": changed its size while it was read");
    }
    Report.Enter("closing");
    if (::fsync(To.Get()) != 0) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": " + std::strerror(errno));
    }
    Hold().PutInPlace(std::nullopt);
    Report.End();
}

void VirtualDisc::WriteRaw(const Request& /*Ask*/, Progress& Report, const RawImage& Image,
                           bool /*Blank*/) {
    Image.FillScratch(BareNameOf(Where().Path));
    Hold().PutInPlace(CueSheetPathOf(Where().Path));
    Report.End();
}

void VirtualDisc::WriteAuthored(const Request& /*Ask*/, Progress& Report,
                                const AuthoredImage& Image, bool /*Blank*/) {
    Report.Begin("writing");
    const std::string Scratch = ScratchDisc();
    const ProgramRun Write = Image.Author(Scratch);
    const ProgramOutcome Outcome = RunProgram(Write);
    if (!Outcome.Succeeded) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": " + DescribeFailure(Write, Outcome));
    }
    SyncFile(Where(), Report, Scratch);
    Report.End();
    TestHooks::BeforeWrite();
}

void VirtualDisc::ChooseOutput(Progress& Report, const Request& Ask, const SessionOutput& Output,
                               std::uint64_t& NextAddress) {
    XorrisoSession& Writer = Session(Report);
    if (Output.Refused) {
        // Only the size is worked out: a blank disc is measured against no file at all.
        if (!Output.Loaded) {
            Writer.Require({"-outdev", "stdio:/dev/null"}, ExitCode::Write);
        }
    } else if (Output.NewDisc) {
        Writer.Require({"-outdev", "stdio:" + ScratchDisc()}, ExitCode::Write);
        NextAddress = 0;
    } else if (*Ask.Import > 0) {
        Writer.Require({"-load", "session", std::to_string(*Ask.Import)}, ExitCode::Medium);
    }
}

std::string VirtualDisc::WrittenFile(bool NewDisc) const {
    // A new disc is written to its scratch file, a continued one in place.
    return NewDisc ? ScratchDisc() : Where().Path;
}

std::optional<std::uint64_t> VirtualDisc::WrittenBytes(const std::string& Written) const {
    struct stat Info {};
    if (::stat(Written.c_str(), &Info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(Info.st_size);
}

XorrisoSession& VirtualDisc::ReadBack(Progress& Report, const std::string& Written,
                                      bool /*Reopen*/) {
    // Read from the file written, by a session of its own.
    FReader.emplace(Report, Describe());
    if (!FReader->Run({"-indev", "stdio:" + Written})) {
        throw RecorderFailure(ExitCode::Verify,
                              Describe() + ": " + std::string(NotReadBackReason()));
    }
    return *FReader;
}

void VirtualDisc::Complete(const Request& /*Ask*/, bool NewDisc, bool /*TrayShut*/) {
    if (NewDisc) {
        Hold().PutInPlace(std::nullopt);
    }
}

void VirtualDisc::Erase(const Request& Ask, Progress& Report) {
    const bool WasBlank = Hold().Blank();
    Hold().Erase(Ask.EntireErase, Report);
    Report.End();
    Report.Say("erased " + Describe() +
               (WasBlank          ? ": it was blank"
                : Ask.EntireErase ? " in full"
                                  : ", quickly"));
}

void VirtualDisc::Eject(Progress& Report) {
    Report.Say(Describe() + " is a virtual disc: nothing to eject");
}

} // namespace Recorder
