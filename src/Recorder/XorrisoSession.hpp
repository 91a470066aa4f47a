// One session of libisoburn's xorriso interpreter, driven command by command with argument
// vectors (never a composed text, so no name needs quoting). Its messages are watched: progress
// reports become progress lines, the results of a command are handed back, and problems are kept
// so that a failure can be reported with its reason (in the recorder's words, see LibraryWords).
#pragma once

#include "Progress.hpp"
#include "RecorderFailure.hpp"

#include <mutex>
#include <string>
#include <vector>

struct XorrisO;

namespace Recorder {

class XorrisoSession {
public:
    // Subject is what a failure names first, for example "drive E (/tmp/disc.iso)".
    XorrisoSession(Progress& Report, std::string Subject);
    ~XorrisoSession();
    XorrisoSession(const XorrisoSession&) = delete;
    XorrisoSession& operator=(const XorrisoSession&) = delete;
    XorrisoSession(XorrisoSession&&) = delete;
    XorrisoSession& operator=(XorrisoSession&&) = delete;

    // Runs one command (its name first, then its arguments). True when it succeeded without an
    // event of severity SORRY or worse; otherwise Problems() says why.
    bool Run(const std::vector<std::string>& Command);
    // Runs one command and throws RecorderFailure with Failure's exit code, the subject and the
    // reason, when it does not succeed.
    void Require(const std::vector<std::string>& Command, ExitCode Failure);
    // The result lines (what xorriso writes to standard output) of the last command.
    const std::vector<std::string>& Results() const noexcept { return FResults; }
    // The reason the last command failed, in the recorder's words, for a failure of kind Kind.
    std::string Problems(ExitCode Kind = ExitCode::Write) const;
    // The libraries' own problem reports (SORRY, FAILURE, FATAL) of the last command, joined: to
    // tell kinds of failure apart, never to be shown.
    std::string LibraryProblems() const;

private:
    static int OnResult(void* Handle, char* Text);
    static int OnInfo(void* Handle, char* Text);
    void WaitForMessages();

    Progress& FReport;
    std::string FSubject;
    XorrisO* FXorriso = nullptr;
    bool FWatching = false;
    mutable std::mutex FMutex;
    std::vector<std::string> FResults;
    std::vector<std::string> FProblems;
};

} // namespace Recorder
