// Which operation runs, through the recording host: every one through the frame, and Burn as the
// operation DiskType names.
#include "OperationCommandsSupport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using namespace OperationCommandsTest;

TEST(OperationCommands, EveryOperationRunsThroughTheFrame) {
    for (const Op Which : {Op::Data, Op::Audio, Op::Video, Op::SuperVideo, Op::DVDVideo, Op::Image,
                           Op::Erase, Op::FullErase, Op::Eject}) {
        Operation Async(Which);
        Async.Host->ExitCode = 3;
        EXPECT_EQ(Async.Run(), 0);
        EXPECT_TRUE(Async.Events.empty());
        EXPECT_EQ(Async.Host->LastStart().Mode, Queltburner::LaunchMode::Detached);

        Operation Sync(Which);
        Sync.Burner->SetSynchronous(true);
        Sync.Burner->SetHideNeroCmd(true);
        Sync.Host->ExitCode = 3;
        EXPECT_EQ(Sync.Run(), 3);
        EXPECT_EQ(Sync.Events, std::vector<std::string>{"OnError(3)"});
        EXPECT_EQ(Sync.Host->LastStart().ShowState, 0);
        EXPECT_EQ(Sync.Host->OpenHandles(), 0U);
    }
}

// Burn is exactly the operation that DiskType names, and never anything else.
TEST(Burn, DispatchesByDiskType) {
    const std::pair<Queltburner::TDiskType, Op> Rows[] = {
        {Queltburner::dtData, Op::Data},
        {Queltburner::dtAudio, Op::Audio},
        {Queltburner::dtVideo, Op::Video},
        {Queltburner::dtSuperVideo, Op::SuperVideo},
        {Queltburner::dtDVDVideo, Op::DVDVideo},
        {static_cast<Queltburner::TDiskType>(5), Op::DVDVideo},
        {static_cast<Queltburner::TDiskType>(255), Op::DVDVideo},
    };
    for (const auto& [Type, Which] : Rows) {
        for (const auto& [Drive, Code] :
             {std::pair{u'E', 0U}, std::pair{u'E', 7U}, std::pair{u'Q', 0U}}) {
            Operation Direct(Which);
            Operation ByType(Which);
            for (Operation* O : {&Direct, &ByType}) {
                O->Burner->SetSynchronous(true);
                O->Burner->SetDiskType(Type);
                O->Host->ExitCode = Code;
            }
            const int Expected = Direct.Run(Drive);
            EXPECT_EQ(ByType.Burner->Burn(Drive), Expected);
            EXPECT_EQ(ByType.Host->CallNames(), Direct.Host->CallNames());
            EXPECT_EQ(ByType.Host->Messages, Direct.Host->Messages);
            EXPECT_EQ(ByType.Events, Direct.Events);
            if (!Direct.Host->Starts.empty()) {
                EXPECT_EQ(ByType.Host->LastStart().CommandLine,
                          Direct.Host->LastStart().CommandLine);
            }
        }
    }
}

} // namespace
