#include "ToolWatch.hpp"

#include <atomic>
#include <chrono>

namespace Queltburner::Win32 {

namespace {

// What one wait takes from a pipe that keeps filling: the rest waits for the next.
constexpr std::size_t ReadPerWait = std::size_t{1} << 20U;

DWORD WaitMilliseconds(const WaitDeadline& Deadline) {
    if (!Deadline) {
        return INFINITE;
    }
    const auto Left = *Deadline - std::chrono::steady_clock::now();
    if (Left <= std::chrono::steady_clock::duration::zero()) {
        return 0;
    }
    // Rounded up, so that a wait never returns before its deadline.
    const auto Milliseconds = std::chrono::ceil<std::chrono::milliseconds>(Left).count();
    return Milliseconds >= INFINITE - 1 ? INFINITE - 1 : static_cast<DWORD>(Milliseconds);
}

std::wstring UniquePipeName() {
    static std::atomic<unsigned long long> Counter{0};
    return L"\\\\.\\pipe\\QueltBurner-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++Counter);
}

} // namespace

PipeReader::~PipeReader() {
    if (FPending) {
        DWORD Ignored = 0;
        CancelIoEx(FPipe, &FOverlapped);
        GetOverlappedResult(FPipe, &FOverlapped, &Ignored, TRUE);
    }
    Close();
    if (FEvent != nullptr) {
        CloseHandle(FEvent);
    }
}

void PipeReader::Close() noexcept {
    if (FPipe != nullptr) {
        CloseHandle(FPipe);
        FPipe = nullptr;
    }
    FPending = false;
}

bool PipeReader::Create(HANDLE& WriteEnd) {
    const std::wstring Name = UniquePipeName();
    FEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FPipe = CreateNamedPipeW(
        Name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 65536,
        0, nullptr);
    if (FPipe == INVALID_HANDLE_VALUE) {
        FPipe = nullptr;
    }
    if (FEvent == nullptr || FPipe == nullptr) {
        return false;
    }
    SECURITY_ATTRIBUTES Inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    WriteEnd = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, &Inheritable, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (WriteEnd == INVALID_HANDLE_VALUE) {
        WriteEnd = nullptr;
        return false;
    }
    return true;
}

void PipeReader::Issue(std::string& Into, std::size_t Limit) {
    for (std::size_t Taken = 0; FPipe != nullptr && !FPending && Taken < Limit;) {
        FOverlapped = OVERLAPPED{};
        FOverlapped.hEvent = FEvent;
        DWORD Got = 0;
        if (ReadFile(FPipe, FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &Got,
                     &FOverlapped)) {
            // Completed at once; the event is set too, and is reset by the next read.
            Into.append(FBuffer.data(), Got);
            Taken += Got;
            continue;
        }
        if (GetLastError() == ERROR_IO_PENDING) {
            FPending = true;
        } else {
            Close(); // the tool's side is closed (ERROR_BROKEN_PIPE), or the pipe failed
        }
    }
}

void PipeReader::Complete(std::string& Into) {
    if (!FPending) {
        return;
    }
    DWORD Got = 0;
    if (GetOverlappedResult(FPipe, &FOverlapped, &Got, FALSE)) {
        FPending = false;
        Into.append(FBuffer.data(), Got);
    } else if (GetLastError() != ERROR_IO_INCOMPLETE) {
        FPending = false;
        Close();
    }
}

void PipeReader::Drain(std::string& Into, std::size_t Limit) {
    Complete(Into);
    for (std::size_t Taken = 0; FPipe != nullptr && !FPending && Taken < Limit;) {
        DWORD Available = 0;
        if (!PeekNamedPipe(FPipe, nullptr, 0, nullptr, &Available, nullptr) || Available == 0) {
            return;
        }
        const std::size_t Before = Into.size();
        Issue(Into, Available);
        if (FPending) {
            // The bytes are there: the read completes without waiting for the tool.
            DWORD Got = 0;
            FPending = false;
            if (!GetOverlappedResult(FPipe, &FOverlapped, &Got, TRUE)) {
                Close();
                return;
            }
            Into.append(FBuffer.data(), Got);
        }
        Taken += Into.size() - Before;
    }
}

ToolWatch::ToolWatch() : FWake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

ToolWatch::~ToolWatch() {
    if (FWake != nullptr) {
        CloseHandle(FWake);
    }
}

bool ToolWatch::Capture(HANDLE& OutputWrite, HANDLE& ErrorWrite) {
    return FPipes[0].Create(OutputWrite) && FPipes[1].Create(ErrorWrite);
}

WaitEvent ToolWatch::Wait(HANDLE Process, WaitDeadline Deadline, CapturedOutput& Output) {
    std::string* const Streams[2] = {&Output.Output, &Output.Error};
    for (;;) {
        for (std::size_t I = 0; I < FPipes.size(); ++I) {
            FPipes[I].Issue(*Streams[I], ReadPerWait);
        }
        if (!Output.Output.empty() || !Output.Error.empty()) {
            return WaitEvent::Output;
        }
        HANDLE Handles[4] = {Process, FWake, nullptr, nullptr};
        DWORD Count = 2;
        std::size_t PipeOf[4] = {};
        for (std::size_t I = 0; I < FPipes.size(); ++I) {
            if (HANDLE Event = FPipes[I].PendingEvent()) {
                PipeOf[Count] = I;
                Handles[Count++] = Event;
            }
        }
        const DWORD Signalled =
            WaitForMultipleObjects(Count, Handles, FALSE, WaitMilliseconds(Deadline));
        if (Signalled == WAIT_TIMEOUT) {
            return WaitEvent::Deadline;
        }
        if (Signalled == WAIT_OBJECT_0) {
            // What the tool left in its pipes comes with its end; a process it started that still
            // holds them does not keep the run waiting.
            for (std::size_t I = 0; I < FPipes.size(); ++I) {
                FPipes[I].Drain(*Streams[I], ReadPerWait);
            }
            return WaitEvent::Ended;
        }
        if (Signalled == WAIT_OBJECT_0 + 1) {
            return WaitEvent::Interrupted;
        }
        if (Signalled >= WAIT_OBJECT_0 + 2 && Signalled < WAIT_OBJECT_0 + Count) {
            const std::size_t I = PipeOf[Signalled - WAIT_OBJECT_0];
            FPipes[I].Complete(*Streams[I]);
            continue; // issues the next read, and returns what came
        }
        return WaitEvent::Failed;
    }
}

void ToolWatch::Interrupt() const noexcept {
    if (FWake != nullptr) {
        SetEvent(FWake);
    }
}

} // namespace Queltburner::Win32
