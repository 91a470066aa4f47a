// The recorder's exit codes and failure keys as the component reads them. A recorder that names
// no case (an older one, or a run killed before its last line) still gets the error of the case
// its exit code stands for, the same one its key would have named; a code that is not one of the
// recorder's failures is the tool's failure.
#include "JobErrors.hpp"
#include "ToolExits.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using Queltburner::TBurnError;

std::error_code ErrorOfExit(int Exit) {
    Queltburner::TJobResult Result;
    Result.Result = Exit;
    Queltburner::ExplainResult(Result, Queltburner::ToolFacts{}, true, u"");
    return Result.Error;
}

TEST(RecorderExits, AnExitWithoutAKeyIsTheErrorOfItsDefaultKey) {
    for (auto Exit = static_cast<int>(ToolContract::FirstFailureExit);
         Exit <= static_cast<int>(ToolContract::LastFailureExit); ++Exit) {
        SCOPED_TRACE(Exit);
        const std::string_view Key = ToolContract::FailureKeyOf(
            ToolContract::DefaultKindOf(static_cast<ToolContract::ExitCode>(Exit)));
        EXPECT_EQ(ErrorOfExit(Exit), make_error_code(Queltburner::ErrorOfFailureKey(Key)));
    }
}

TEST(RecorderExits, AnExitThatIsNoFailureOfTheRecorderIsTheToolsFailure) {
    for (const int Exit : {1, 10, 11, 127, 255}) {
        SCOPED_TRACE(Exit);
        EXPECT_EQ(ErrorOfExit(Exit), make_error_code(TBurnError::ToolFailed));
    }
}

TEST(RecorderExits, EveryFailureLineTheRecorderWritesGivesItsKeyBack) {
    for (const ToolContract::FailureKey& Row : ToolContract::FailureKeys) {
        const std::string Line =
            std::string(ToolContract::FailureLinePrefix) + std::string(Row.Key);
        EXPECT_EQ(Queltburner::FailureKeyOf(Line), std::optional<std::string_view>(Row.Key));
    }
}

} // namespace
