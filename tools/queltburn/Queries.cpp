#include "Queries.hpp"

#include "QueryJson.hpp"
#include "System.SysUtils.hpp"

#include <array>
#include <cstdio>
#include <vector>

namespace Queltburn {

namespace {

using Queltburner::DiscReport;
using Queltburner::DiscState;
using System::Sysutils::UTF8Encode;

std::string Sessions(std::uint32_t Count) {
    return std::to_string(Count) + (Count == 1 ? " session" : " sessions");
}

// "QEMU QEMU DVD-ROM (writes CD-R, CD-RW)  ": the drive's maker, model and media where the host
// knows them; nothing for a virtual disc.
std::string DriveWords(const Queltburner::TOpticalDrive& Drive) {
    std::string Words = UTF8Encode(Drive.Vendor);
    if (!Drive.Model.empty()) {
        Words += (Words.empty() ? "" : " ") + UTF8Encode(Drive.Model);
    }
    if (!Drive.Media.empty() && Drive.Media != u"any") {
        Words += (Words.empty() ? "(writes " : " (writes ") + UTF8Encode(Drive.Media) + ")";
    }
    return Words.empty() ? Words : Words + "  ";
}

// "appendable virtual CD, 2 sessions, 612.3 MiB free", "no disc", or why it is not known; "in
// use" first while a run holds the drive.
std::string Summary(const Queltburner::TOpticalDrive& Drive, int Result, const DiscReport& Disc) {
    if (Result != Queltburner::ResultSuccess) {
        const std::string Reason = Disc.Reason.empty() ? UTF8Encode(Queltburner::ResultText(Result))
                                                       : UTF8Encode(Disc.Reason);
        return (Drive.Busy ? "in use (" : "unknown (") + Reason + ")";
    }
    std::string Text = Drive.Busy ? "in use, " : "";
    if (Disc.State == DiscState::NoDisc || Disc.State == DiscState::NotADisc) {
        return Text + StateWord(Disc.State);
    }
    Text += StateWord(Disc.State);
    Text += ' ';
    Text += Disc.Medium.empty() ? "disc" : UTF8Encode(Disc.Medium);
    if (Disc.State != DiscState::Blank) {
        Text += ", " + Sessions(Disc.Sessions);
    }
    if (Disc.State != DiscState::Closed) {
        Text += ", " + ReadableBytes(Disc.FreeBytes) + " free";
    }
    return Text;
}

std::string Bytes(std::uint64_t Count) {
    return std::to_string(Count) + " bytes (" + ReadableBytes(Count) + ")";
}

} // namespace

std::string ReadableBytes(std::uint64_t Count) {
    constexpr std::array<const char*, 5> Units{"bytes", "KiB", "MiB", "GiB", "TiB"};
    auto Value = static_cast<double>(Count);
    std::size_t Unit = 0;
    while (Value >= 1024.0 && Unit + 1 < Units.size()) {
        Value /= 1024.0;
        ++Unit;
    }
    if (Unit == 0) {
        return std::to_string(Count) + " bytes";
    }
    std::array<char, 32> Text{};
    (void)std::snprintf(Text.data(), Text.size(), "%.1f %s", Value, Units[Unit]);
    return Text.data();
}

int PrintDrives(Queltburner::TQueltBurner& Burner, bool Json, std::ostream& Out) {
    const std::vector<Queltburner::TOpticalDrive> Drives = Burner.OpticalDrives();
    if (Drives.empty() && !Json) {
        Out << "no optical drive: map a letter to a disc image or a device with "
               "QUELT_DRIVES=E=/path/disc.iso (several: E=...;F=...)\n";
        return 0;
    }
    std::string Objects;
    for (const Queltburner::TOpticalDrive& Drive : Drives) {
        const Queltburner::TJobResult Asked = Burner.StartDescribeDisc(Drive.Letter)->Wait();
        if (Json) {
            Objects += (Objects.empty() ? "{" : ",{") +
                       DriveJsonFields(Drive, Asked.Result, Asked.Disc) + "}";
            continue;
        }
        Out << UTF8Encode(System::UnicodeString(1, Drive.Letter)) << "  "
            << (Drive.Target.empty() ? "-" : UTF8Encode(Drive.Target)) << "  " << DriveWords(Drive)
            << Summary(Drive, Asked.Result, Asked.Disc) << "\n";
    }
    if (Json) {
        Out << "[" << Objects << "]\n";
    }
    return 0;
}

int PrintDiscInfo(Queltburner::TQueltBurner& Burner, System::WideChar Drive, bool Json,
                  std::ostream& Out) {
    const Queltburner::TJobResult Asked = Burner.StartDescribeDisc(Drive)->Wait();
    const int Result = Asked.Result;
    const DiscReport& Disc = Asked.Disc;
    Queltburner::TOpticalDrive Known;
    Known.Letter = Drive;
    for (const Queltburner::TOpticalDrive& Each : Burner.OpticalDrives()) {
        if (Each.Letter == Drive) {
            Known = Each;
        }
    }
    const bool Answered = Result == Queltburner::ResultSuccess;
    if (Json) {
        Out << "{" << DriveJsonFields(Known, Result, Disc) << "}\n";
        return Answered ? 0 : 1;
    }
    Out << "drive: " << UTF8Encode(System::UnicodeString(1, Drive))
        << "\ntarget: " << UTF8Encode(Known.Target) << "\n";
    if (!Known.Vendor.empty() || !Known.Model.empty()) {
        Out << "drive model: " << UTF8Encode(Known.Vendor) << " " << UTF8Encode(Known.Model)
            << "\n";
    }
    if (!Known.Media.empty()) {
        Out << "writes: " << UTF8Encode(Known.Media) << "\n";
    }
    if (Known.Busy) {
        Out << "in use: a run holds the drive\n";
    }
    if (!Answered) {
        if (!Disc.Reason.empty()) {
            Out << "reason: " << UTF8Encode(Disc.Reason) << "\n";
        }
        Out << "result: " << Result << " (" << UTF8Encode(Queltburner::ResultText(Result)) << ")\n";
        return 1;
    }
    Out << "medium: " << UTF8Encode(Disc.Medium) << "\nstate: " << StateWord(Disc.State)
        << "\nsessions: " << Disc.Sessions << "\nlabel: " << UTF8Encode(Disc.Label)
        << "\nused: " << Bytes(Disc.UsedBytes) << "\nfree: " << Bytes(Disc.FreeBytes) << "\n";
    return 0;
}

int PrintEstimate(Queltburner::TQueltBurner& Burner, System::WideChar Drive, std::ostream& Out) {
    const Queltburner::TJobResult Asked = Burner.StartMeasureBurn(Drive)->Wait();
    const int Result = Asked.Result;
    const Queltburner::SizeReport& Size = Asked.Size;
    if (Result != Queltburner::ResultSuccess) {
        if (!Size.Reason.empty()) {
            Out << "reason: " << UTF8Encode(Size.Reason) << "\n";
        }
        Out << "result: " << Result << " (" << UTF8Encode(Queltburner::ResultText(Result)) << ")\n";
        return 1;
    }
    Out << "needs " << ReadableBytes(Size.NeededBytes) << " of " << ReadableBytes(Size.FreeBytes)
        << " free: ";
    if (Size.NeededBytes <= Size.FreeBytes) {
        Out << "fits\n";
        return 0;
    }
    Out << "does not fit (needs " << ReadableBytes(Size.NeededBytes - Size.FreeBytes) << " more)\n";
    return 1;
}

} // namespace Queltburn
