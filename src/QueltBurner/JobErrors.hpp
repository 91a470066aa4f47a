// How a job's result is put into TBurnError and words: from its result code, the tool's line for
// programs ("failure KEY"), and the lines the tool wrote.
#pragma once

#include "QueltBurner.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Queltburner {

// What a job's run learnt besides its result code.
struct ToolFacts {
    bool ToolNotFound = false;           // the tool check failed
    std::string FailureKey;              // the KEY of the tool's last "failure KEY" line
    System::UnicodeString LastErrorLine; // the last non-empty line of its standard error
    std::optional<int> QuestionRun;      // the result of a question's last tool run
    std::vector<System::UnicodeString> SkippedEntries;
};

// The KEY of a "failure KEY" line of the recorder; none for any other line.
std::optional<std::string_view> FailureKeyOf(std::string_view Line);

// The error a recorder's failure key names; ToolFailed for a key it does not know.
TBurnError ErrorOfFailureKey(std::string_view Key);

// Fills Error and Reason of a result whose Result is set. HostReason: a question's own reason.
void ExplainResult(TJobResult& Result, const ToolFacts& Facts, bool ToolIsRecorder,
                   const System::UnicodeString& HostReason);

} // namespace Queltburner
