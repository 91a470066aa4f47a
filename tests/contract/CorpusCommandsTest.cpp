// The composition fuzzer's seeds, each decoded as the fuzzer decodes it and run through the
// component: every command line one of them makes the component start must be recognised by the
// tool's grammar as the command of its operation. The seeds hold the awkward values (labels with
// quotes and backslashes, entries named like switches, lone surrogates, every disc kind Burn can
// be given), so this is where the grammar meets what composition does to them.
#include "CompositionModel.hpp"
#include "ReadCommand.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using CompositionFuzz::Operation;
using ToolGrammar::CommandKind;

CommandKind KindOfBurn(Queltburner::TDiskType Type) {
    switch (Type) {
    case Queltburner::dtData:
        return CommandKind::DataDisc;
    case Queltburner::dtAudio:
        return CommandKind::AudioCd;
    case Queltburner::dtVideo:
        return CommandKind::VideoCd;
    case Queltburner::dtSuperVideo:
        return CommandKind::SuperVideoCd;
    default:
        return CommandKind::DvdVideo;
    }
}

// The command each operation is; Burn's is the one its disc kind names.
CommandKind KindOf(const CompositionFuzz::Settings& S) {
    constexpr CommandKind Kinds[] = {CommandKind::DataDisc, CommandKind::AudioCd,
                                     CommandKind::VideoCd,  CommandKind::SuperVideoCd,
                                     CommandKind::DvdVideo, CommandKind::Image,
                                     CommandKind::Erase,    CommandKind::Eject};
    return S.Op == Operation::Burn ? KindOfBurn(S.DiskType) : Kinds[static_cast<unsigned>(S.Op)];
}

std::vector<std::uint8_t> Bytes(const std::filesystem::path& File) {
    std::ifstream In(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// The seed's operation run as the fuzzer runs it; the command line the tool was started with,
// if it was.
std::optional<System::UnicodeString> Composed(const std::vector<std::uint8_t>& Seed,
                                              CompositionFuzz::Settings& S) {
    QueltFuzz::FuzzInput In(Seed.data(), Seed.size());
    const auto Host = std::make_shared<QueltTest::RecordingHost>();
    S = CompositionFuzz::Decode(In, *Host);
    Host->MakeReady(S.Drive, S.Tool);
    Host->ExitCode = S.ExitCode;
    {
        Queltburner::TQueltBurner Burner(nullptr, Host);
        CompositionFuzz::Apply(S, Burner);
        Host->Starts.clear();
        CompositionFuzz::Run(S, Burner);
    }
    if (Host->Starts.empty()) {
        return std::nullopt;
    }
    return Host->Starts.front().CommandLine;
}

TEST(CompositionSeeds, EveryComposedLineIsTheCommandOfItsOperation) {
    std::set<CommandKind> Seen;
    for (const auto& Entry : std::filesystem::directory_iterator(QUELT_COMPOSITION_CORPUS)) {
        SCOPED_TRACE(Entry.path().filename().string());
        CompositionFuzz::Settings S;
        const std::optional<System::UnicodeString> Line = Composed(Bytes(Entry.path()), S);
        if (!Line) {
            // A seed of a line the component refuses to compose (no drive letter, no image, a
            // NUL): the fuzzer checks that nothing starts.
            continue;
        }
        const QueltTest::ReadCommand Read(*Line);
        ASSERT_TRUE(Read.Recognition.Accepted) << Read.Recognition.Text;
        EXPECT_EQ(Read.Recognition.Kind, KindOf(S));
        Seen.insert(Read.Recognition.Kind);
    }
    // The seeds make every command the component composes, so none of them goes unchecked.
    const std::set<CommandKind> Every{CommandKind::DataDisc,     CommandKind::DvdVideo,
                                      CommandKind::AudioCd,      CommandKind::VideoCd,
                                      CommandKind::SuperVideoCd, CommandKind::Image,
                                      CommandKind::Erase,        CommandKind::Eject};
    EXPECT_EQ(Seen, Every);
}

} // namespace
