// Windows: the console calls its control handler on a thread of its own already.
#include "Console.hpp"

#include <windows.h>

#include <cstdio>
#include <io.h>
#include <mutex>

namespace Queltburn {

namespace {

std::mutex HandlerMutex;
std::function<void()> Handler;

BOOL WINAPI OnControl(DWORD Event) {
    if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    const std::lock_guard Lock(HandlerMutex);
    if (Handler) {
        Handler();
        return TRUE;
    }
    return FALSE;
}

} // namespace

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

struct InterruptWatch::State {};

InterruptWatch::InterruptWatch(std::function<void()> OnInterrupt) {
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
