// The Windows host's reading of IMAPI2's numbers (media types, media state flags, sector counts),
// against the values IMAPI2 documents.
#include "win32/ImapiMedia.hpp"

#include <gtest/gtest.h>

namespace {

using Queltburner::DiscState;
using namespace Queltburner::Win32;

TEST(ImapiMedia, MediumNames) {
    const std::pair<std::int32_t, System::UnicodeString> Rows[] = {
        {0x2, u"CD-R"},   {0x3, u"CD-RW"}, {0x4, u"DVD-ROM"}, {0x6, u"DVD+R"},
        {0x7, u"DVD+RW"}, {0x9, u"DVD-R"}, {0xA, u"DVD-RW"},  {0x13, u"BD-RE"},
        {0x0, u""},       {0x14, u""},     {-1, u""},
    };
    for (const auto& [Type, Name] : Rows) {
        EXPECT_EQ(ImapiMediumName(Type), Name) << Type;
    }
}

TEST(ImapiMedia, StateFromMediaStatusFlags) {
    struct Row {
        std::uint32_t Status;
        bool HeuristicallyBlank;
        DiscState State;
    };
    const Row Rows[] = {
        {0x0002, false, DiscState::Blank},      // blank CD-R
        {0x1004, false, DiscState::Appendable}, // a session written, room for more
        {0x100C, false, DiscState::Appendable}, // only the final session left
        {0x5000, false, DiscState::Closed},     // finalized
        {0x0800, false, DiscState::Closed},     // CD-RW to be erased first
        {0x0001, true, DiscState::Blank},       // unused DVD+RW
        {0x1001, false, DiscState::Appendable}, // used DVD+RW: written over again
        {0x0404, false, DiscState::NotADisc},   // damaged
        {0x8000, false, DiscState::NotADisc},   // unsupported medium
        {0x0000, false, DiscState::NotADisc},
    };
    for (const Row& Case : Rows) {
        EXPECT_EQ(ImapiDiscState(Case.Status, Case.HeuristicallyBlank), Case.State)
            << std::hex << Case.Status;
    }
}

TEST(ImapiMedia, SpaceFromSectorCounts) {
    struct Row {
        std::int32_t Total, Free;
        std::uint64_t Used, FreeBytes;
    };
    const Row Rows[] = {
        {359844, 100000, 259844ULL * 2048, 100000ULL * 2048}, // appendable CD-R
        {2295104, 2295104, 0, 2295104ULL * 2048},             // blank DVD+R: 4.7 GB free
        {100, 200, 0, 100 * 2048},                            // free above the total
        {100, -1, 100 * 2048, 0},                             // closed: no free count
        {-5, 10, 0, 0},
    };
    for (const Row& Case : Rows) {
        const DiscSpace Space = ImapiDiscSpace(Case.Total, Case.Free);
        EXPECT_EQ(Space.UsedBytes, Case.Used) << Case.Total << " " << Case.Free;
        EXPECT_EQ(Space.FreeBytes, Case.FreeBytes) << Case.Total << " " << Case.Free;
    }
}

} // namespace
