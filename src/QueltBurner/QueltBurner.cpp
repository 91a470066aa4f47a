// Construction, destruction, the file list's write access and the discovery of NeroCmd.exe.
#include "QueltBurner.hpp"
#include "RunControl.hpp"

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
    // Every setting starts at its initial value (the members' initialisers); the tool is looked up
    // once, here.
    FVersion = ComponentVersion;
    FFiles = std::make_unique<System::Classes::TStringList>();
    FRun = std::make_shared<RunControl>();
    NeroCmdLocation = GetNeroCmdLocation();
}

void TQueltBurner::Cancel() noexcept {
    FRun->Cancel();
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
