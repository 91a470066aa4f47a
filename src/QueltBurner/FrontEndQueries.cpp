// The questions a front end asks around a burn: which drives there are, what the disc in one
// holds, and what a burn would take of it. The host answers them; the component checks the drive,
// names the tool it found, and composes the burn exactly as Burn would.
#include "OperationFrame.hpp"

#include "System.SysUtils.hpp"

#include <exception>
#include <string_view>
#include <utility>

namespace Queltburner {

namespace {

int ResultOf(QueryStatus Status) {
    switch (Status) {
    case QueryStatus::Answered:
        return ResultSuccess;
    case QueryStatus::NotAvailable:
        return ResultNotAvailable;
    case QueryStatus::Failed:
        break;
    }
    return ResultToolFailed;
}

// Runs one question; a host that throws (out of memory, a broken pipe) fails it with its reason
// instead of reaching the caller, who asked a question and expects a result code.
template <typename Report, typename Question>
int AskHost(Report& Answer, const Question& Ask) {
    try {
        Answer = Ask();
    } catch (const std::exception& Failure) {
        Answer = Report{};
        Answer.Status = QueryStatus::Failed;
        Answer.Reason = System::Sysutils::UTF8ToString(Failure.what());
    }
    return ResultOf(Answer.Status);
}

// The kind a medium's name says: "CD-R", "DVD+RW DL", "BD-RE", "virtual DVD", ...
TMediumKind KindOfMedium(std::u16string_view Medium) {
    constexpr std::pair<std::u16string_view, TMediumKind> Prefixes[] = {
        {u"virtual", TMediumKind::Virtual},
        {u"CD", TMediumKind::CD},
        {u"DVD", TMediumKind::DVD},
        {u"BD", TMediumKind::BD},
    };
    for (const auto& [Prefix, Kind] : Prefixes) {
        if (Medium.starts_with(Prefix)) {
            return Kind;
        }
    }
    return TMediumKind::Unknown;
}

// The free space a burn with these settings would have, as MeasureBurn counts it: a virtual disc
// becomes the kind the burn asks for, and an audio CD is counted in its own sectors and only ever
// goes on a blank disc.
std::uint64_t FreeBytesForBurn(const DiscReport& Disc, bool Dvd, TDiskType Kind) {
    constexpr std::uint64_t DataSectorBytes = 2048;
    constexpr std::uint64_t AudioSectorBytes = 2352;
    std::uint64_t Free = Disc.FreeBytes;
    if (Disc.FreeBytesAsCD != 0 || Disc.FreeBytesAsDVD != 0) {
        const bool AsDvd = Kind == dtAudio ? false : Dvd || Kind == dtDVDVideo;
        Free = AsDvd ? Disc.FreeBytesAsDVD : Disc.FreeBytesAsCD;
    }
    if (Kind == dtAudio) {
        return Disc.State == DiscState::Blank ? Free / DataSectorBytes * AudioSectorBytes : 0;
    }
    return Free;
}

template <typename Report>
int NotAnOpticalDrive(Report& Answer, System::WideChar Drive) {
    Answer = Report{};
    Answer.Status = QueryStatus::Failed;
    Answer.Reason = System::UnicodeString(u"drive ") + Drive + u" is not an optical drive";
    return ResultNotOpticalDrive;
}

} // namespace

std::vector<TOpticalDrive> TQueltBurner::OpticalDrives() {
    OperationFrame Frame(*this);
    std::vector<TOpticalDrive> Drives;
    for (System::WideChar Letter = u'A'; Letter <= u'Z'; ++Letter) {
        if (Frame.IsOpticalDrive(Letter)) {
            Drives.push_back(FHost->DescribeDrive(Letter));
        }
    }
    return Drives;
}

int TQueltBurner::DescribeDisc(System::WideChar Drive, DiscReport& Disc) {
    OperationFrame Frame(*this);
    if (!Frame.IsOpticalDrive(Drive)) {
        return NotAnOpticalDrive(Disc, Drive);
    }
    // A host may answer without the tool (Windows asks its own burning service), so a missing
    // tool is the host's to report.
    const System::UnicodeString Tool = Frame.ToolExists() ? NeroCmdLocation : u"";
    // A job's component asks through its watched run, so that the job's cancel and time limit
    // reach the question.
    const int Result = AskHost(Disc, [&] {
        return FJob != nullptr ? FHost->DescribeDiscWith(Frame.QuestionRunner(), Tool, Drive)
                               : FHost->DescribeDisc(Tool, Drive);
    });
    if (Disc.Kind == TMediumKind::Unknown) {
        Disc.Kind = KindOfMedium(Disc.Medium);
    }
    if (Result == ResultSuccess) {
        Disc.FreeBytes = FreeBytesForBurn(Disc, FDVD, FDiskType);
    }
    return Result;
}

int TQueltBurner::MeasureBurn(System::WideChar Drive, SizeReport& Size) {
    OperationFrame Frame(*this);
    if (!Frame.IsOpticalDrive(Drive)) {
        return NotAnOpticalDrive(Size, Drive);
    }
    const System::UnicodeString Tool = Frame.ToolExists() ? NeroCmdLocation : u"";
    return AskHost(Size, [&] {
        const System::UnicodeString Burn = ComposeBurnCommand(*this, *FHost, Drive);
        return FJob != nullptr ? FHost->MeasureBurnWith(Frame.QuestionRunner(), Tool, Burn)
                               : FHost->MeasureBurn(Tool, Burn);
    });
}

} // namespace Queltburner
