// One session of libisoburn's xorriso interpreter, driven command by command with argument
// vectors (never a composed text, so no name needs quoting). Its messages go to lists of the
// session's own: the command's thread takes them as soon as the command returns (no wait), and a
// watcher thread takes them every tenth of a second while a long command runs, so that progress
// reports become progress lines. The results of a command are handed back, and problems are kept
// so that a failure can be reported with its reason (in the recorder's words, see LibraryWords).
#pragma once

#include "Progress.hpp"
#include "RecorderFailure.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
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
    std::vector<std::string> Results() const;
    // The reason the last command failed, in the recorder's words, for a failure of kind Kind.
    std::string Problems(ExitCode Kind = ExitCode::Write) const;
    // The libraries' own problem reports (SORRY, FAILURE, FATAL) of the last command, joined: to
    // tell kinds of failure apart, never to be shown.
    std::string LibraryProblems() const;

    // Writes the session laid out so far (-commit). The writing phase follows the libraries'
    // reports; the closing phase starts when the data is written. On a virtual disc (VirtualDisc,
    // the file written) the one fsync happens here, in the closing phase, instead of unseen at the
    // end of the writing. False when the write failed: Problems() says why.
    bool Commit(const std::string& VirtualDisc);
    // The bytes the next write takes, its progress lines then carrying the bytes written (libburn's
    // sectors of 2,048 bytes); zero when not known.
    void ExpectWriting(std::uint64_t Bytes);
    // Called on the watcher thread about every tenth of a second until it is set again (empty to
    // stop): for progress that the libraries do not report. See ScopedTick.
    void WhileRunning(std::function<void()> Tick);
    // The number of files the running (or last) command has added to the session's tree so far,
    // as the libraries last reported it.
    std::uint64_t FilesAdded() const noexcept { return FFilesAdded.load(); }

private:
    void TakeMessages();
    void TakeInfo(std::string_view Text);
    void Watch();

    Progress& FReport;
    std::string FSubject;
    XorrisO* FXorriso = nullptr;
    int FStack = -1;
    // Held while messages are taken, by either thread, so that those of a command are handled
    // before the command's results are read.
    mutable std::mutex FMutex;
    std::vector<std::string> FResults;
    std::vector<std::string> FProblems;
    std::function<void()> FTick;
    std::uint64_t FWritingBytes = 0;
    std::atomic<std::uint64_t> FFilesAdded{0};
    std::condition_variable FWake;
    bool FStopping = false;
    std::thread FWatcher;
};

// A tick for the session's watcher while it is in scope, so that it never outlives what it uses.
class ScopedTick {
public:
    ScopedTick(XorrisoSession& Session, std::function<void()> Tick) : FSession(Session) {
        FSession.WhileRunning(std::move(Tick));
    }
    ~ScopedTick() { FSession.WhileRunning({}); }
    ScopedTick(const ScopedTick&) = delete;
    ScopedTick& operator=(const ScopedTick&) = delete;
    ScopedTick(ScopedTick&&) = delete;
    ScopedTick& operator=(ScopedTick&&) = delete;

private:
    XorrisoSession& FSession;
};

} // namespace Recorder
