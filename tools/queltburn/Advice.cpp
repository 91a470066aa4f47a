#include "Advice.hpp"

#include "Console.hpp"
#include "System.SysUtils.hpp"

namespace Queltburn {

namespace {

using System::UnicodeString;
using System::Sysutils::UTF8Encode;

// Where the component looks for the tool: the folder of this value, plus the tool's file name.
constexpr std::u16string_view ToolKey = u"Software\\ahead\\Nero - Burning Rom\\General";
constexpr std::u16string_view ToolValue = u"RegisteredTypesNeroPath";
constexpr std::u16string_view ToolFileName = u"NeroCmd.exe";

UnicodeString FolderOf(const UnicodeString& Path) {
    const std::size_t Separator = Path.find_last_of(System::Sysutils::PathDelim);
    return Separator == UnicodeString::npos ? UnicodeString() : Path.substr(0, Separator + 1);
}

std::string ToolAdvice(Queltburner::HostServices& Host,
                       const std::optional<UnicodeString>& ToolGiven) {
    constexpr std::string_view Remedy = "; install the tool there, correct the value, or give "
                                        "--tool PATH";
    if (ToolGiven) {
        return UTF8Encode(*ToolGiven) + " (given with --tool) is not a file";
    }
    const std::string Key = "HKEY_CURRENT_USER\\" + UTF8Encode(UnicodeString(ToolKey));
    const std::string Value = UTF8Encode(UnicodeString(ToolValue));
    const UnicodeString Location = Host.RegistryLocation();
    if (Location.empty()) {
        return "no registry file names the tool (QUELT_REGISTRY, "
               "~/.config/QueltBurner/user.reg, QueltBurner/user.reg in $XDG_CONFIG_DIRS or the "
               "install's; none exists): write the value " +
               Value + " under [" + Key + "], or give --tool PATH";
    }
    const Queltburner::RegistryValue Found =
        Host.ReadUserString(UnicodeString(ToolKey), UnicodeString(ToolValue));
    if (Found.Kind != Queltburner::RegistryValueKind::Text) {
        return UTF8Encode(Location) + " has no text value " + Value + " under [" + Key +
               "]: add it, or give --tool PATH";
    }
    return "tried " + UTF8Encode(FolderOf(Found.Text) + UnicodeString(ToolFileName)) +
           ", the folder of " + Value + "=\"" + UTF8Encode(Found.Text) + "\" under [" + Key +
           "] in " + UTF8Encode(Location) + std::string(Remedy);
}

} // namespace

std::optional<std::string> AdviceFor(int Result, System::WideChar Drive,
                                     Queltburner::TQueltBurner& Burner,
                                     Queltburner::HostServices& Host,
                                     const std::optional<UnicodeString>& ToolGiven) {
    if (!Burner.ShowMessages()) {
        return std::nullopt;
    }
    if (Result == Queltburner::ResultNotOpticalDrive) {
        return NotOpticalDriveAdvice(Drive);
    }
    // The tool check failed, rather than a start or wait of a tool that is there.
    if (Result == Queltburner::ResultToolFailed && !Host.FileExists(Burner.NeroCmdLocation)) {
        return ToolAdvice(Host, ToolGiven);
    }
    return std::nullopt;
}

} // namespace Queltburn
