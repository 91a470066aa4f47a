// Construction, destruction, the file list's write access and the discovery of NeroCmd.exe.
#include "QueltBurner.hpp"

#include "System.SysUtils.hpp"

#include <exception>
#include <utility>

namespace Queltburner {

namespace {

constexpr double ComponentVersion = 1.78;
constexpr std::u16string_view NeroKey = u"Software\\ahead\\Nero - Burning Rom\\General";
constexpr std::u16string_view NeroPathValue = u"RegisteredTypesNeroPath";
constexpr std::u16string_view ToolFileName = u"NeroCmd.exe";

} // namespace

TQueltBurner::TQueltBurner(System::Classes::TComponent* AOwner) : TQueltBurner(AOwner, nullptr) {}

TQueltBurner::TQueltBurner(System::Classes::TComponent* AOwner, std::shared_ptr<HostServices> Host)
    : TComponent(AOwner), FHost(Host ? std::move(Host) : DefaultHostServices()) {
    FVersion = ComponentVersion;
    NeroCmdLocation = GetNeroCmdLocation();
    FSpeed = 4;
    FVolume = u"NEW";
    FDisableEject = false;
    FArtist.clear();
    FTitle.clear();
    FUnderrunProtection = true;
    FDetectNonEmptyDisk = false;
    FTao = false;
    FForceEraseDisk = false;
    FVerify = false;
    FSpeedTest = false;
    FCloseSession = false;
    FDVD = false;
    FDiskType = dtData;
    FContinueSession = -1;
    FFiles = std::make_unique<System::Classes::TStringList>();
    FSynchronous = false;
    FHideNeroCmd = false;
    FShowMessages = true;
    FOnError = nullptr;
    FOnSuccess = nullptr;
}

// The owned list goes with the members; the owner bookkeeping follows in TComponent.
TQueltBurner::~TQueltBurner() = default;

void TQueltBurner::SetFiles(System::Classes::TStrings* Value) {
    if (Value != nullptr) {
        FFiles->Assign(Value);
    }
}

System::UnicodeString TQueltBurner::GetNeroCmdLocation() {
    System::UnicodeString RegisteredPath;
    try {
        RegistryValue Value = FHost->ReadUserString(System::UnicodeString(NeroKey),
                                                    System::UnicodeString(NeroPathValue));
        if (Value.Kind == RegistryValueKind::Text) {
            RegisteredPath = std::move(Value.Text);
        }
    } catch (const std::exception&) {
        // Any registry failure means "not registered"; the discovery itself never fails.
        RegisteredPath.clear();
    }
    System::UnicodeString Candidate = CutFileName(RegisteredPath);
    Candidate += ToolFileName;
    if (FHost->FileExists(Candidate)) {
        return Candidate;
    }
    return {};
}

System::UnicodeString TQueltBurner::CutFileName(const System::UnicodeString& Path) {
    std::size_t I = Path.size();
    while (I >= 1 && Path[I - 1] != System::Sysutils::PathDelim) {
        --I;
    }
    return Path.substr(0, I);
}

} // namespace Queltburner
