// The Windows host's answers about drives and discs, under Wine (drive E: a CD-ROM drive mapped
// onto a folder, no IMAPI2) as on Windows: every answer comes back in time and is one a front end
// can show, and the caller's COM state survives the query.
#include "QueltBurner.hpp"
#include "QueltBurnerHostServices.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace {

using Queltburner::DiscReport;
using Queltburner::DiscState;
using Queltburner::QueryStatus;

// A query that hangs must fail the run, not stall it: the thread it hangs in cannot be joined,
// so the program ends.
template <typename Result>
Result WithinTimeLimit(std::function<Result()> Query) {
    constexpr auto Limit = std::chrono::seconds(60);
    std::packaged_task<Result()> Task(std::move(Query));
    std::future<Result> Answer = Task.get_future();
    std::thread Worker(std::move(Task));
    if (Answer.wait_for(Limit) != std::future_status::ready) {
        std::fprintf(stderr, "a drive query did not answer within 60 s\n");
        std::fflush(stderr);
        std::_Exit(1);
    }
    Worker.join();
    return Answer.get();
}

DiscReport Describe(char16_t Drive) {
    return WithinTimeLimit<DiscReport>(
        [Drive] { return Queltburner::PlatformHostServices()->DescribeDisc(u"", Drive); });
}

// An answer a front end can show: a reason whenever there is no answer, and fields that agree
// with the state when there is one.
void ExpectWellFormed(const DiscReport& Report) {
    switch (Report.Status) {
    case QueryStatus::NotAvailable:
    case QueryStatus::Failed:
        EXPECT_FALSE(Report.Reason.empty());
        break;
    case QueryStatus::Answered:
        if (Report.State == DiscState::NoDisc) {
            EXPECT_TRUE(Report.Medium.empty());
            EXPECT_EQ(Report.UsedBytes + Report.FreeBytes + Report.Sessions, 0U);
        }
        if (Report.State == DiscState::Closed) {
            EXPECT_EQ(Report.FreeBytes, 0U);
        }
        break;
    }
}

TEST(DiscQueries, EveryKindOfDriveLetterGetsAnAnswerInTime) {
    // E: the CD-ROM drive; C: a fixed drive; Q: no drive at all; '?' no drive letter.
    for (const char16_t Drive : {u'E', u'e', u'C', u'Q', u'?'}) {
        SCOPED_TRACE(static_cast<char>(Drive));
        ExpectWellFormed(Describe(Drive));
    }
}

TEST(DiscQueries, DriveTargetIsTheVolumeName) {
    // Wine names a folder drive after the first line of this file in its root (the test script
    // writes it before the session starts: Wine reads it only then).
    std::string Label;
    std::getline(std::ifstream(std::filesystem::path(L"E:\\.windows-label")), Label);
    ASSERT_FALSE(Label.empty()) << "drive E: has no volume name to compare with";
    struct Case {
        char16_t Drive;
        System::UnicodeString Target;
    };
    const System::UnicodeString Name(Label.begin(), Label.end());
    for (const Case& Row : {Case{u'E', Name}, Case{u'e', Name}, Case{u'Q', u""}, Case{u'?', u""}}) {
        SCOPED_TRACE(static_cast<char>(Row.Drive));
        EXPECT_EQ(WithinTimeLimit<System::UnicodeString>([&Row] {
                      return Queltburner::PlatformHostServices()->DriveTarget(Row.Drive);
                  }),
                  Row.Target);
    }
}

// What CoInitializeEx says on the thread after the query, for the apartment the thread had
// before it (none, or an application's single-threaded one).
TEST(DiscQueries, TheCallersComStateSurvivesTheQuery) {
    struct Case {
        const char* Before;
        bool InitialisedBefore;
        HRESULT ProbeAfter; // S_OK: nothing left initialised; S_FALSE: the caller's still there
    };
    for (const Case& Row :
         {Case{"no apartment", false, S_OK}, Case{"single-threaded apartment", true, S_FALSE}}) {
        SCOPED_TRACE(Row.Before);
        const HRESULT Probe = WithinTimeLimit<HRESULT>([&Row] {
            if (Row.InitialisedBefore) {
                EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
            }
            ExpectWellFormed(Queltburner::PlatformHostServices()->DescribeDisc(u"", u'E'));
            const HRESULT After = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            for (int Count = (SUCCEEDED(After) ? 1 : 0) + (Row.InitialisedBefore ? 1 : 0);
                 Count > 0; --Count) {
                CoUninitialize();
            }
            return After;
        });
        EXPECT_EQ(Probe, Row.ProbeAfter);
    }
}

// The component's questions through the Windows host: E: is listed, and a disc or a size that
// the host cannot learn is "not available", in time and without a message box.
TEST(DiscQueries, TheComponentsQuestionsAnswerOrSayNotAvailable) {
    const int Results = WithinTimeLimit<int>([] {
        Queltburner::TQueltBurner Burner(nullptr);
        Burner.SetShowMessages(false);
        bool ListsE = false;
        for (const Queltburner::TOpticalDrive& Drive : Burner.OpticalDrives()) {
            ListsE = ListsE || Drive.Letter == u'E';
        }
        EXPECT_TRUE(ListsE);
        DiscReport Disc;
        const int Described = Burner.DescribeDisc(u'E', Disc);
        EXPECT_TRUE(Described == Queltburner::ResultSuccess ||
                    Described == Queltburner::ResultNotAvailable)
            << Described;
        Queltburner::SizeReport Size;
        Burner.Files()->Add(u"C:\\windows");
        EXPECT_EQ(Burner.MeasureBurn(u'E', Size), Queltburner::ResultNotAvailable);
        EXPECT_EQ(Burner.DescribeDisc(u'Q', Disc), Queltburner::ResultNotOpticalDrive);
        return Described;
    });
    (void)Results;
}

} // namespace
