#include "Queries.hpp"

#include "System.SysUtils.hpp"

#include <array>
#include <cstdio>

namespace Queltburn {

namespace {

using Queltburner::DiscReport;
using Queltburner::DiscState;
using System::Sysutils::UTF8Encode;

const char* StateWord(DiscState State) {
    switch (State) {
    case DiscState::Blank:
        return "blank";
    case DiscState::Appendable:
        return "appendable";
    case DiscState::Closed:
        return "closed";
    case DiscState::NotADisc:
        return "not a disc";
    case DiscState::NoDisc:
        break;
    }
    return "no disc";
}

std::string Sessions(std::uint32_t Count) {
    return std::to_string(Count) + (Count == 1 ? " session" : " sessions");
}

// "appendable virtual CD, 2 sessions, 612.3 MB free", "no disc", or why it is not known.
std::string Summary(int Result, const DiscReport& Disc) {
    if (Result != Queltburner::ResultSuccess) {
        const std::string Reason = Disc.Reason.empty() ? UTF8Encode(Queltburner::ResultText(Result))
                                                       : UTF8Encode(Disc.Reason);
        return "unknown (" + Reason + ")";
    }
    if (Disc.State == DiscState::NoDisc || Disc.State == DiscState::NotADisc) {
        return StateWord(Disc.State);
    }
    std::string Text = StateWord(Disc.State);
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

void AppendJson(std::string& Out, std::string_view Text) {
    Out += '"';
    for (const char C : Text) {
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += C;
        } else if (static_cast<unsigned char>(C) < 0x20) {
            std::array<char, 8> Escaped{};
            (void)std::snprintf(Escaped.data(), Escaped.size(), "\\u%04x",
                                static_cast<unsigned>(static_cast<unsigned char>(C)));
            Out += Escaped.data();
        } else {
            Out += C;
        }
    }
    Out += '"';
}

std::string Bytes(std::uint64_t Count) {
    return std::to_string(Count) + " bytes (" + ReadableBytes(Count) + ")";
}

} // namespace

std::string ReadableBytes(std::uint64_t Count) {
    constexpr std::array<const char*, 5> Units{"bytes", "kB", "MB", "GB", "TB"};
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

int PrintDrives(Queltburner::TQueltBurner& Burner, std::ostream& Out) {
    const std::vector<Queltburner::TOpticalDrive> Drives = Burner.OpticalDrives();
    if (Drives.empty()) {
        Out << "no optical drive: map a letter to a disc image or a device with "
               "QUELT_DRIVES=E=/path/disc.iso (several: E=...;F=...)\n";
        return 0;
    }
    for (const Queltburner::TOpticalDrive& Drive : Drives) {
        const Queltburner::TJobResult Asked = Burner.StartDescribeDisc(Drive.Letter)->Wait();
        Out << UTF8Encode(System::UnicodeString(1, Drive.Letter)) << "  "
            << (Drive.Target.empty() ? "-" : UTF8Encode(Drive.Target)) << "  "
            << Summary(Asked.Result, Asked.Disc) << "\n";
    }
    return 0;
}

int PrintDiscInfo(Queltburner::TQueltBurner& Burner, System::WideChar Drive, bool Json,
                  std::ostream& Out) {
    const Queltburner::TJobResult Asked = Burner.StartDescribeDisc(Drive)->Wait();
    const int Result = Asked.Result;
    const DiscReport& Disc = Asked.Disc;
    const std::string Letter = UTF8Encode(System::UnicodeString(1, Drive));
    std::string Target;
    for (const Queltburner::TOpticalDrive& Each : Burner.OpticalDrives()) {
        if (Each.Letter == Drive) {
            Target = UTF8Encode(Each.Target);
        }
    }
    const bool Answered = Result == Queltburner::ResultSuccess;
    if (Json) {
        std::string Object = "{\"drive\":";
        AppendJson(Object, Letter);
        Object += ",\"target\":";
        AppendJson(Object, Target);
        Object += ",\"result\":" + std::to_string(Result);
        if (Answered) {
            Object += ",\"medium\":";
            AppendJson(Object, UTF8Encode(Disc.Medium));
            Object += ",\"state\":";
            AppendJson(Object, StateWord(Disc.State));
            Object += ",\"sessions\":" + std::to_string(Disc.Sessions) + ",\"label\":";
            AppendJson(Object, UTF8Encode(Disc.Label));
            Object += ",\"used_bytes\":" + std::to_string(Disc.UsedBytes) +
                      ",\"free_bytes\":" + std::to_string(Disc.FreeBytes);
        } else {
            Object += ",\"reason\":";
            AppendJson(Object, UTF8Encode(Disc.Reason.empty() ? Queltburner::ResultText(Result)
                                                              : Disc.Reason));
        }
        Out << Object << "}\n";
        return Answered ? 0 : 1;
    }
    Out << "drive: " << Letter << "\ntarget: " << Target << "\n";
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
