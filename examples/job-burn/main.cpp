// Writes the files and folders named on the command line to a data disc in drive E as a job: it
// prints each phase as the tool reaches it, cancels the burn on Ctrl-C or after 30 minutes, and
// says how the burn ended and which entries it left out.
#include <QueltBurner.hpp>
#include <System.SysUtils.hpp>

#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>

namespace {

// In the order of TJobPhase.
constexpr const char* PhaseNames[] = {"starting", "preparing", "erasing", "writing",
                                      "closing",  "verifying", "finished"};

volatile std::sig_atomic_t Interrupted = 0;

extern "C" void OnInterrupt(int) {
    Interrupted = 1; // all a signal handler may do; the main thread cancels
}

} // namespace

int main(int Argc, char* Argv[]) {
    using namespace std::chrono_literals;
    using System::Sysutils::UTF8Encode;
    auto Burner = std::make_unique<Queltburner::TQueltBurner>(nullptr);
    Burner->SetVolumeLabel(u"JOB");
    Burner->SetTimeout(30 * 60 * 1000); // milliseconds; the job copies it with the settings
    for (int Index = 1; Index < Argc; ++Index) { // file names: any bytes, all kept
        Burner->Files()->Add(System::Sysutils::FileNameToString(Argv[Index]));
    }
    Queltburner::TJobEvents Events; // each called on the job's own thread, one at a time
    Events.OnProgress = [Shown = Queltburner::TJobPhase::Starting](
                            const Queltburner::TJobProgress& Progress) mutable {
        if (Progress.Phase != Shown) {
            Shown = Progress.Phase;
            std::cout << PhaseNames[static_cast<int>(Shown)] << ", " << Progress.Overall
                      << "% of the job done\n";
        }
    };
    Events.OnOutput = [](const System::UnicodeString& Line, bool IsError) {
        (IsError ? std::cerr : std::cout) << "tool: " << UTF8Encode(Line) << "\n";
    };
    const std::shared_ptr<Queltburner::TBurnJob> Job = Burner->StartBurn(u'E', std::move(Events));
    Burner.reset(); // the job keeps what it needs of its component
    (void)std::signal(SIGINT, OnInterrupt);
    while (!Job->WaitFor(100ms)) {
        if (Interrupted != 0) {
            Job->Cancel(); // from any thread, at any time; a second call changes nothing
        }
    }
    const Queltburner::TJobResult& Result = Job->Wait(); // at once: the job has finished
    for (const System::UnicodeString& Entry : Result.SkippedEntries) {
        std::cout << "left out: " << UTF8Encode(Entry) << "\n";
    }
    if (Result.Error == Queltburner::TBurnError::DriveBusy) {
        std::cout << "another program is writing to drive E; try again later\n";
    } else if (Result.Error) {
        std::cout << "not burned: " << Result.Error.message() << ": " << UTF8Encode(Result.Reason)
                  << "\n";
    } else {
        std::cout << "burned\n";
    }
    std::cout << "result " << Result.Result << "\n";
    return Result.Error ? 1 : 0;
}
