// quelt_design_host: loads a package the way a design environment installs it and lists the
// palette, so a package can be checked without an IDE.
//   quelt_design_host [--no-register] [--record] PACKAGE
// --no-register  loads, starts and stops the package without calling Register, as an application
//                that uses the component at run time does;
// --record       gives the package's component unit a host that counts every call it receives.
#include "DesignEnvironment.hpp"
#include "ProgramArguments.hpp"

#include "System.SysUtils.hpp"

#include <atomic>
#include <iostream>

namespace {

// Answers every request as "nothing there" and counts it.
class CountingHost final : public Queltburner::HostServices {
public:
    std::atomic<int> Calls{0};

    std::uint32_t DriveType(const System::UnicodeString& /*RootPath*/) override {
        return Count(1U);
    }
    bool FileExists(const System::UnicodeString& /*Path*/) override { return Count(false); }
    bool DirectoryExists(const System::UnicodeString& /*Path*/) override { return Count(false); }
    std::optional<Queltburner::StartedProcess>
    StartProcess(const System::UnicodeString& /*Application*/,
                 const System::UnicodeString& /*CommandLine*/, int /*ShowState*/,
                 Queltburner::LaunchMode /*Mode*/) override {
        return Count(std::optional<Queltburner::StartedProcess>());
    }
    std::uint32_t WaitForProcess(Queltburner::HostHandle /*Process*/) override { return Count(1U); }
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle /*Process*/) override {
        return Count(std::optional<std::uint32_t>());
    }
    bool ReleaseHandle(Queltburner::HostHandle /*Handle*/) override { return Count(false); }
    void ShowErrorMessage(const System::UnicodeString& /*Text*/) override { Count(0); }
    Queltburner::RegistryValue ReadUserString(const System::UnicodeString& /*Key*/,
                                              const System::UnicodeString& /*Name*/) override {
        return Count(Queltburner::RegistryValue());
    }

private:
    template <typename T>
    T Count(T Answer) {
        ++Calls;
        return Answer;
    }
};

int Usage() {
    std::cerr << "usage: quelt_design_host [--no-register] [--record] PACKAGE\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<System::UnicodeString> Args;
    if (const std::optional<std::string> Problem = QueltTools::ProgramArguments(argc, argv, Args)) {
        std::cerr << "quelt_design_host: " << *Problem << "\n";
        return 2;
    }
    bool CallRegister = true;
    bool Record = false;
    System::UnicodeString Package;
    for (const System::UnicodeString& Arg : Args) {
        if (Arg == u"--no-register") {
            CallRegister = false;
        } else if (Arg == u"--record") {
            Record = true;
        } else if (Package.empty() && !Arg.starts_with(u"--")) {
            Package = Arg;
        } else {
            return Usage();
        }
    }
    if (Package.empty()) {
        return Usage();
    }
    const auto Host = std::make_shared<CountingHost>();
    try {
        Designhost::DesignEnvironment Environment(Package);
        std::cout << "loaded " << System::Sysutils::UTF8Encode(Package) << "\n";
        if (Record) {
            Environment.SetHostServices(Host);
        }
        Environment.Initialize();
        std::cout << "Initialize: " << Environment.UnitTable()->UnitCount << " units started\n";
        if (CallRegister) {
            Environment.Register();
            std::cout << "Register: done\n";
        }
        std::cout << "palette:\n" << Designhost::DescribePalette();
        Environment.Finalize();
        std::cout << "Finalize: done\n";
        if (Record) {
            // The package keeps the host until it is unloaded; put the platform's back first.
            Environment.SetHostServices(nullptr);
        }
        if (!Environment.Unload()) {
            std::cerr << "quelt_design_host: the package could not be unloaded\n";
            return 1;
        }
        std::cout << "unloaded\npalette after unloading:\n" << Designhost::DescribePalette();
    } catch (const std::exception& Error) {
        std::cerr << "quelt_design_host: " << Error.what() << "\n";
        return 1;
    }
    if (Record) {
        std::cout << "host-services calls: " << Host->Calls << "\n";
    }
    return 0;
}
