#include "QueryJson.hpp"

#include "System.SysUtils.hpp"
#include "ToolDiscInfo.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

namespace Queltburn {

namespace {

using System::Sysutils::UTF8Encode;

const char* KindWord(Queltburner::TMediumKind Kind) {
    using Queltburner::TMediumKind;
    switch (Kind) {
    case TMediumKind::CD:
        return "CD";
    case TMediumKind::DVD:
        return "DVD";
    case TMediumKind::BD:
        return "BD";
    case TMediumKind::Virtual:
        return "virtual";
    case TMediumKind::Unknown:
        break;
    }
    return "unknown";
}

void AppendField(std::string& Out, std::string_view Name, const System::UnicodeString& Text) {
    Out.append(",\"").append(Name).append("\":");
    AppendJson(Out, UTF8Encode(Text));
}

void AppendNumber(std::string& Out, std::string_view Name, std::uint64_t Value) {
    Out.append(",\"").append(Name).append("\":").append(std::to_string(Value));
}

void AppendDisc(std::string& Out, const Queltburner::DiscReport& Disc) {
    AppendField(Out, "medium", Disc.Medium);
    Out += ",\"kind\":";
    AppendJson(Out, KindWord(Disc.Kind));
    Out += ",\"state\":";
    AppendJson(Out, StateWord(Disc.State));
    AppendNumber(Out, "sessions", Disc.Sessions);
    AppendField(Out, "label", Disc.Label);
    AppendNumber(Out, "used_bytes", Disc.UsedBytes);
    AppendNumber(Out, "free_bytes", Disc.FreeBytes);
    AppendNumber(Out, "free_bytes_cd", Disc.FreeBytesAsCD);
    AppendNumber(Out, "free_bytes_dvd", Disc.FreeBytesAsDVD);
}

} // namespace

const char* StateWord(Queltburner::DiscState State) {
    using Queltburner::DiscState;
    // The state each of the tool's words names, in the words' order.
    constexpr std::array<DiscState, ToolContract::DiscStateWords.size()> States{
        DiscState::NoDisc, DiscState::Blank, DiscState::Appendable, DiscState::Closed,
        DiscState::NotADisc};
    const auto* Found = std::find(States.begin(), States.end(), State);
    const std::size_t Index =
        Found == States.end() ? 0 : static_cast<std::size_t>(Found - States.begin());
    // A value past the enumeration reads as the first word, no disc. The words are literals, so
    // each one's text ends with a NUL.
    return ToolContract::DiscStateWords.at(Index).data();
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

std::string DriveJsonFields(const Queltburner::TOpticalDrive& Drive, int Result,
                            const Queltburner::DiscReport& Disc) {
    std::string Out = "\"drive\":";
    AppendJson(Out, UTF8Encode(System::UnicodeString(1, Drive.Letter)));
    AppendField(Out, "target", Drive.Target);
    AppendField(Out, "vendor", Drive.Vendor);
    AppendField(Out, "model", Drive.Model);
    AppendField(Out, "media", Drive.Media);
    Out += Drive.Busy ? ",\"busy\":true" : ",\"busy\":false";
    Out += ",\"result\":" + std::to_string(Result);
    if (Result == Queltburner::ResultSuccess) {
        AppendDisc(Out, Disc);
    } else {
        AppendField(Out, "reason",
                    Disc.Reason.empty() ? Queltburner::ResultText(Result) : Disc.Reason);
    }
    return Out;
}

} // namespace Queltburn
