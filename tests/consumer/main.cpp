// Uses only what the installed package offers: the public header and the host-services interface.
#include <QueltBurner.hpp>
#include <System.SysUtils.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// A host where drive E is optical and the tool exists, and every started process exits with 0.
class ReadyHost final : public Queltburner::HostServices {
public:
    std::uint32_t DriveType(const System::UnicodeString& Root) override {
        return Root == u"E:\\" ? Queltburner::DriveTypeCdRom : 1;
    }
    bool FileExists(const System::UnicodeString& Path) override {
        return Path == u"NeroCmd.exe" || Path == u"a.txt";
    }
    bool DirectoryExists(const System::UnicodeString&) override { return false; }
    std::optional<Queltburner::StartedProcess>
    StartProcess(const System::UnicodeString&, const System::UnicodeString& CommandLine, int,
                 Queltburner::LaunchMode) override {
        Line = CommandLine;
        return Queltburner::StartedProcess{1, 2};
    }
    std::uint32_t WaitForProcess(Queltburner::HostHandle) override {
        return Queltburner::WaitEnded;
    }
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle) override { return 0U; }
    bool ReleaseHandle(Queltburner::HostHandle) override { return true; }
    void ShowErrorMessage(const System::UnicodeString&) override {}
    Queltburner::RegistryValue ReadUserString(const System::UnicodeString&,
                                              const System::UnicodeString&) override {
        return {};
    }
    System::UnicodeString Line;
};

} // namespace

int main() {
    auto Host = std::make_shared<ReadyHost>();
    System::Classes::TComponent Owner(nullptr);
    auto* Burner = new Queltburner::TQueltBurner(&Owner, Host);
    Burner->SetSynchronous(true);
    Burner->Files()->Add(u"a.txt");
    bool Succeeded = false;
    Burner->SetOnSuccess([&Succeeded](System::TObject*) { Succeeded = true; });
    const int Result = Burner->BurnData(u'E');
    const System::UnicodeString Expected =
        u"NeroCmd.exe --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
        u"--underrun_prot \"a.txt\" ";
    // A program linked with the static library finds the class by name from its start; one linked
    // with the package finds it only once a design environment has called Register.
    const bool Registered = System::Classes::GetClass(u"TQueltBurner").has_value();
    // The same burn as a job, from the jobs' header, which the component's header brings along.
    Host->Line.clear();
    const std::shared_ptr<Queltburner::TBurnJob> Job = Burner->StartBurn(u'E');
    const Queltburner::TJobResult& Done = Job->Wait();
    const std::error_code Busy = Queltburner::TBurnError::DriveBusy;
    const bool JobOk = Done.Result == 0 && !Done.Error && Job->Finished() &&
                       Job->Progress().Overall == 100 &&
                       std::string_view(Busy.category().name()) == "queltburner";
    // The front-end values on the platform's own host: a letter mapped by the application, and a
    // file name of any bytes.
    Queltburner::MapDrive(u'q', u"/tmp/quelt-consumer-disc.iso");
    Queltburner::TQueltBurner OwnHost(nullptr);
    const std::vector<Queltburner::TOpticalDrive> Drives = OwnHost.OpticalDrives();
    const bool Mapped = !Drives.empty() && Drives.back().Letter == u'Q' &&
                        Drives.back().Target == u"/tmp/quelt-consumer-disc.iso" &&
                        Drives.back().Media == u"any" && !Drives.back().Busy;
    Queltburner::UnmapDrive(u'Q');
    const std::string Latin1 = "caf\xe9.txt";
    const bool NamesKept =
        System::Sysutils::StringToFileName(System::Sysutils::FileNameToString(Latin1)) == Latin1;
    const bool Ok = Result == 0 && Succeeded && JobOk && Mapped && NamesKept &&
                    OwnHost.OpticalDrives().size() + 1 == Drives.size() && Host->Line == Expected &&
                    Burner->Version() == 1.78 && Burner->BurnData(u'Q') == -2 &&
                    Registered == (QUELT_EXPECT_REGISTERED != 0);
    std::puts(Ok ? "consumer: ok" : "consumer: FAILED");
    return Ok ? 0 : 1;
}
