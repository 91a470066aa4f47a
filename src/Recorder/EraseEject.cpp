// Erase and eject, and the copy loop of the writers that copy a disc's bytes.
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace Recorder {

void PutInPlace(const WriteContext& Context) {
    Context.Disc.PutInPlace(std::nullopt);
}

std::uint64_t CopyAll(const WriteContext& Context, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied) {
    std::vector<char> Buffer(std::size_t{1} << 20U);
    std::uint64_t Total = 0;
    for (;;) {
        const ssize_t Got = ::read(From, Buffer.data(), Buffer.size());
        if (Got < 0) {
            throw RecorderFailure(ExitCode::Source, Source + ": " + std::strerror(errno));
        }
        if (Got == 0) {
            return Total;
        }
        for (ssize_t Put = 0; Put < Got;) {
            const ssize_t Written =
                ::write(To, Buffer.data() + Put, static_cast<std::size_t>(Got - Put));
            if (Written < 0) {
                throw RecorderFailure(ExitCode::Write,
                                      Context.Where.Describe() + ": " + std::strerror(errno));
            }
            Put += Written;
        }
        Total += static_cast<std::uint64_t>(Got);
        Copied(static_cast<std::uint64_t>(Got));
    }
}

void EraseDisc(const WriteContext& Context) {
    const Target& Where = Context.Where;
    Context.Report.Begin("erasing");
    if (Where.RealDrive) {
        XorrisoSession Session(Context.Report, Where.Describe());
        const DriveState State = AcquireDriveToWrite(Session, Where);
        // A write-once disc is refused by name: libburn's refusal, or its "nothing to blank" on a
        // blank one, would tell the user nothing of why.
        if (!IsRewritableProfile(State.Profile)) {
            throw RecorderFailure(ExitCode::Medium, FailureKind::NotRewritable,
                                  "the disc in " + Where.Describe() + " is a " + State.Profile +
                                      ", which cannot be erased: only rewritable discs (CD-RW, "
                                      "DVD-RW, DVD+RW, BD-RE) can");
        }
        Session.Require({"-blank", Context.Ask.EntireErase ? "all" : "fast"}, ExitCode::Medium);
        Context.Report.End();
        return;
    }
    const bool WasBlank = Context.Disc.Blank();
    Context.Disc.Erase(Context.Ask.EntireErase, Context.Report);
    Context.Report.End();
    Context.Report.Say("erased " + Where.Describe() +
                       (WasBlank                  ? ": it was blank"
                        : Context.Ask.EntireErase ? " in full"
                                                  : ", quickly"));
}

void EjectDisc(const WriteContext& Context) {
    const Target& Where = Context.Where;
    if (!Where.RealDrive) {
        Context.Report.Say(Where.Describe() + " is a virtual disc: nothing to eject");
        return;
    }
    XorrisoSession Session(Context.Report, Where.Describe());
    OpenDrive(Session, Where);
    Session.Require({"-eject", "all"}, ExitCode::Target);
    Context.Report.Say("ejected " + Where.Describe());
}

} // namespace Recorder
