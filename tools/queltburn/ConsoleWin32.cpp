// Windows: the console calls its control handler on a thread of its own already.
#include "Console.hpp"

#include "System.SysUtils.hpp"

#include <windows.h>

#include <cstdio>
#include <io.h>
#include <mutex>

namespace Queltburn {

namespace {

std::mutex HandlerMutex;
std::function<void(int ExitStatus)> Handler;
// Windows has no signal numbers: both keys end with the status a POSIX shell gives Ctrl-C.
constexpr int InterruptedStatus = 130;

BOOL WINAPI OnControl(DWORD Event) {
    if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    const std::lock_guard Lock(HandlerMutex);
    if (Handler) {
        Handler(InterruptedStatus);
        return TRUE;
    }
    return FALSE;
}

} // namespace

// The host opens no descriptor of its own on Windows (the console calls the Ctrl-C handler without
// a pipe, and the component's pipes are handles), so none can take a missing stream's number.
void OpenClosedStandardStreams() noexcept {}

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

std::string NotOpticalDriveAdvice(System::WideChar Drive) {
    return "drive " + System::Sysutils::UTF8Encode(System::UnicodeString(1, Drive)) +
           " is not an optical drive; name the letter of a CD or DVD drive as Explorer shows it";
}

struct InterruptWatch::State {};

InterruptWatch::InterruptWatch(std::function<void(int ExitStatus)> OnInterrupt) {
    {
        const std::lock_guard Lock(HandlerMutex);
        Handler = std::move(OnInterrupt);
    }
    SetConsoleCtrlHandler(&OnControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetConsoleCtrlHandler(&OnControl, FALSE);
    const std::lock_guard Lock(HandlerMutex);
    Handler = nullptr;
}

} // namespace Queltburn
