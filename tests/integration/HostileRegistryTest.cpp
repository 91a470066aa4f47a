// The POSIX host inside applications whose registry file is no ordinary file (a device, a FIFO, a
// huge or sparse file): the component is created at once, within its memory cap.
#include "FailingAllocator.hpp"
#include "HostileApplicationSupport.hpp"
#include "ProcessLauncher.hpp"
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <new>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace HostileTest;

// --- Registry files that are not ordinary files ------------------------------------------------

struct RegistryCase {
    const char* Name;
    std::function<std::string(const fs::path& Folder)> Make; // returns the file's path
    bool Found;                                              // whether the value is read
};

std::string ValidRegistry(const fs::path& ToolFolder) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n"
           "\"RegisteredTypesNeroPath\"=\"" +
           ToolFolder.string() + "/nero\"\r\n";
}

// A valid registry file padded with blank lines to Size bytes (sparse past the text).
std::string PaddedRegistry(const fs::path& Folder, std::uintmax_t Size, bool Sparse) {
    const fs::path Path = Folder / "padded.reg";
    std::ofstream(Path) << ValidRegistry(Folder) << std::string(Sparse ? 0 : 4096, '\n');
    if (!Sparse) {
        std::ofstream Out(Path, std::ios::app);
        const std::string Blank(64 * 1024, '\n');
        while (fs::file_size(Path) < Size) {
            Out.write(Blank.data(), static_cast<std::streamsize>(Blank.size()));
            Out.flush();
        }
    }
    fs::resize_file(Path, Size);
    return Path.string();
}

// Peak resident memory since the last reset, and the reset.
long PeakResidentKiB() {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line)) {
        if (Line.rfind("VmHWM:", 0) == 0) {
            return std::stol(Line.substr(6));
        }
    }
    return -1;
}

class RegistryFileKind : public testing::TestWithParam<RegistryCase> {};

TEST_P(RegistryFileKind, ComponentIsCreatedAtOnceWithinTheCap) {
    const RegistryCase& Case = GetParam();
    const std::string Found = InOwnProcess(
        [&Case](Findings& Check) {
            QueltTest::TempDir Dir;
            fs::copy_file(QueltTest::Standin, Dir.Path() / "NeroCmd.exe");
            const ScopedEnv Registry{"QUELT_REGISTRY", Case.Make(Dir.Path())};
            auto Host = std::make_shared<Queltburner::Posix::PosixHostServices>();
            std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak
            const long Before = PeakResidentKiB();
            const auto Start = Clock::now();
            const Queltburner::TQueltBurner Burner(nullptr, Host);
            const auto Took = Clock::now() - Start;
            const long Peak = PeakResidentKiB();
            // A guard against a read without end (a device, a fifo), not a measure of speed (the
            // benchmarks measure that): generous enough for a sanitizer build on a busy machine,
            // where decoding a file at the cap once took 1.3 s.
            Check.Expect(
                Took < 5s,
                "creating the component took " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Took).count()) +
                    " ms");
            // A file that is not read costs nothing; one that is read costs its decoding too.
            constexpr long CapKiB = Queltburner::Posix::PosixHostServices::RegistryFileCap / 1024;
            const long Allowed = (Case.Found ? 5 * CapKiB : CapKiB) + 4096;
            Check.Expect(Peak - Before <= Allowed,
                         "memory grew by " + std::to_string(Peak - Before) + " KiB");
            const bool Read = !Burner.NeroCmdLocation.empty();
            Check.Expect(Read == Case.Found,
                         Read ? "the value was read" : "the value was not read");
        },
        10s);
    EXPECT_EQ(Found, "");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegistryFileKind,
    testing::Values(
        RegistryCase{"DevZero", [](const fs::path&) { return std::string("/dev/zero"); }, false},
        RegistryCase{"DevUrandom", [](const fs::path&) { return std::string("/dev/urandom"); },
                     false},
        RegistryCase{"FifoWithoutWriter",
                     [](const fs::path& Folder) {
                         const fs::path Fifo = Folder / "user.reg";
                         mkfifo(Fifo.c_str(), 0600);
                         return Fifo.string();
                     },
                     false},
        RegistryCase{"Folder", [](const fs::path& Folder) { return Folder.string(); }, false},
        RegistryCase{"SparseTwoGigabytes",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(Folder, std::uintmax_t{2} << 30U, true);
                     },
                     false},
        RegistryCase{"JustOverTheCap",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(
                             Folder, Queltburner::Posix::PosixHostServices::RegistryFileCap + 1,
                             false);
                     },
                     false},
        RegistryCase{"AtTheCap",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(
                             Folder, Queltburner::Posix::PosixHostServices::RegistryFileCap, false);
                     },
                     true}),
    [](const testing::TestParamInfo<RegistryCase>& Info) { return std::string(Info.param.Name); });

} // namespace
