#include "DesignEnvironment.hpp"

#include "System.Classes.hpp"
#include "System.SysUtils.hpp"

#include <utility>

namespace Designhost {

namespace {

// A function address from the loader's untyped one; the names above fix each signature.
template <typename Function>
Function* AsFunction(void* Address) {
    return reinterpret_cast<Function*>(
        Address); // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

} // namespace

DesignEnvironment::DesignEnvironment(const System::UnicodeString& PackagePath)
    : FLibrary(System::OpenLibrary(PackagePath)) {}

DesignEnvironment::~DesignEnvironment() {
    Unload();
}

void* DesignEnvironment::Export(const char* Name) const {
    return System::LibrarySymbol(FLibrary, Name);
}

void* DesignEnvironment::Required(const char* Name) const {
    void* Address = Export(Name);
    if (Address == nullptr) {
        throw EMissingExport(std::string("the package does not export ") + Name);
    }
    return Address;
}

void DesignEnvironment::SetHostServices(std::shared_ptr<Queltburner::HostServices> Host) {
    AsFunction<void(std::shared_ptr<Queltburner::HostServices>)>(
        Required(PackageExports::SetDefaultHostServices))(std::move(Host));
}

void DesignEnvironment::Initialize() {
    AsFunction<void()>(Required(PackageExports::Initialize))();
}

void DesignEnvironment::Register() {
    AsFunction<void()>(Required(PackageExports::Register))();
}

void DesignEnvironment::Finalize() {
    AsFunction<void()>(Required(PackageExports::Finalize))();
}

bool DesignEnvironment::Unload() {
    if (FLibrary == nullptr) {
        return true;
    }
    return System::CloseLibrary(std::exchange(FLibrary, nullptr));
}

System::PackageInfo DesignEnvironment::UnitTable() const {
    return AsFunction<System::PackageInfo()>(Required(PackageExports::UnitTable))();
}

std::string DescribePalette() {
    std::string Text;
    for (const System::Classes::TPalettePage& Page : System::Classes::Palette()) {
        Text += System::Sysutils::UTF8Encode(Page.Name) + ":";
        const char* Separator = " ";
        for (const System::Classes::TComponentClass& Class : Page.Classes) {
            Text += Separator + System::Sysutils::UTF8Encode(Class.Name);
            Separator = ", ";
        }
        Text += "\n";
    }
    return Text.empty() ? "(empty)\n" : Text;
}

} // namespace Designhost
