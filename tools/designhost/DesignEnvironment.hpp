// What a design environment does with a package: load the library at run time, run its unit
// start-ups, call Register to fill the palette, run the shut-downs and unload the library. Only the
// shared framework library is linked; everything of the package is found through its exports.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "System.Packages.hpp"
#include "System.hpp"

#include <memory>
#include <string>

namespace Designhost {

// The names the package exports its entry points under.
struct PackageExports {
    static constexpr const char* Initialize = "Initialize";
    static constexpr const char* Finalize = "Finalize";
    static constexpr const char* UnitTable = "_ZN15Queltburnerpack20_GetPackageInfoTableEv";
    static constexpr const char* Register = "_ZN11Queltburner8RegisterEv";
    static constexpr const char* UnitInitialization = "_ZN11Queltburner14initializationEv";
    static constexpr const char* UnitFinalization = "_ZN11Queltburner12FinalizationEv";
    static constexpr const char* SetDefaultHostServices =
        "_ZN11Queltburner22SetDefaultHostServicesESt10shared_ptrINS_12HostServicesEE";
};

// Raised when the package lacks an export the design environment needs.
class EMissingExport : public System::EPackageError {
public:
    using System::EPackageError::EPackageError;
};

class DesignEnvironment {
public:
    // Loads the library (System::EPackageError when it cannot).
    explicit DesignEnvironment(const System::UnicodeString& PackagePath);
    // Unloads the library if Unload was not called; runs no shut-down of its own.
    ~DesignEnvironment();
    DesignEnvironment(const DesignEnvironment&) = delete;
    DesignEnvironment& operator=(const DesignEnvironment&) = delete;
    DesignEnvironment(DesignEnvironment&&) = delete;
    DesignEnvironment& operator=(DesignEnvironment&&) = delete;

    // The process default host services of the package's component unit.
    void SetHostServices(std::shared_ptr<Queltburner::HostServices> Host);
    void Initialize();
    void Register();
    void Finalize();
    // Releases the library; false when the system refused. Afterwards nothing may be called.
    bool Unload();

    System::PackageInfo UnitTable() const;
    // The address of an export, or null.
    void* Export(const char* Name) const;
    bool Loaded() const noexcept { return FLibrary != nullptr; }

private:
    void* Required(const char* Name) const;

    void* FLibrary = nullptr;
};

// The palette as a design environment lists it: one line per page, "Page: Class, Class".
std::string DescribePalette();

} // namespace Designhost
