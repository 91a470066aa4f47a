// What a job's own component reports to its job while it runs an operation: the tool's lines as
// they come, the entries of Files its command line leaves out, a missing tool, and the answers of
// a question run through the component's watched run.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <string_view>

namespace Queltburner {

class JobContext {
public:
    JobContext() = default;
    virtual ~JobContext() = default;
    JobContext(const JobContext&) = delete;
    JobContext& operator=(const JobContext&) = delete;
    JobContext(JobContext&&) = delete;
    JobContext& operator=(JobContext&&) = delete;

    // A line of the tool's standard output or (IsError) error; Whole as OutputLineSplitter says.
    virtual void ToolLine(std::string_view Line, bool IsError, bool Whole) = 0;
    // An entry of Files that names nothing, left out of the command line.
    virtual void EntryLeftOut(const System::UnicodeString& Entry) = 0;
    // The tool check failed: there is no tool where NeroCmdLocation points.
    virtual void ToolNotFound() = 0;
    // A question's run: what the tool wrote from now on is kept for the answer.
    virtual void BeginAnswer() = 0;
    // The run's result code: the tool's exit code, or a negative result when it did not run to
    // its end (cancelled, timed out, not started).
    virtual ToolRunOutcome EndAnswer(int Result) = 0;
};

} // namespace Queltburner
