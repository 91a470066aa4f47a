#include "RealDrive.hpp"

#include "RecorderFailure.hpp"

#include <charconv>

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

DriveState AcquireDrive(XorrisoSession& Session, const Target& Where, bool LoadTree) {
    if (!Session.Run({LoadTree ? "-dev" : "-outdev", Where.Path})) {
        const std::string Problems = Session.Problems();
        const bool Busy = Problems.find("busy") != std::string::npos ||
                          Problems.find("Busy") != std::string::npos;
        throw RecorderFailure(ExitCode::Target,
                              Where.Describe() +
                                  (Busy ? ": the drive is busy (in use by another run or "
                                          "program); try again when it has ended"
                                        : ": not a drive that can write discs"));
    }
    Session.Require({"-toc"}, ExitCode::Target);
    const std::vector<std::string>& Toc = Session.Results();
    if (CountLines(Toc, "Media status : is not present") > 0 ||
        CountLines(Toc, "Media current: is not present") > 0) {
        throw RecorderFailure(ExitCode::Medium,
                              Where.Describe() + ": there is no disc in the drive");
    }
    DriveState State;
    State.Blank = CountLines(Toc, "Media status : is blank") > 0;
    State.Sessions = CountLines(Toc, "ISO session");
    State.NextAddress = BlocksIn(Toc, "Media nwa").value_or(0);
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
    for (const auto& [On, Option] :
         {std::pair{!Ask.CloseSession && !Run.Closed, "-multi"},
          std::pair{!Ask.DisableEject, "-eject"}, std::pair{Run.Erase, "blank=as_needed"}}) {
        if (On) {
            Command.emplace_back(Option);
        }
    }
    Command.push_back(Run.IsCueSheet ? "cuefile=" + Run.Source : Run.Source);
    Command.emplace_back("--");
    return Command;
}

} // namespace Recorder
