// NeroCmd.exe on Linux: the recorder, which writes the discs the component's command lines ask for.
#include "Recorder.hpp"

#include <array>
#include <string>
#include <vector>

namespace {

// The mark by which the component's host knows this program as the recorder, and so names its
// exit codes by their meaning: a section of its own (QueltBurner's posix/ToolIdentity.hpp), which
// stripping keeps.
[[gnu::used, gnu::retain, gnu::section(".quelt_recorder")]] constexpr std::array<char, 9>
    RecorderMark{"recorder"};

} // namespace

int main(int argc, char** argv) {
    if (!Recorder::MemoryCanBeHad()) {
        return Recorder::RefuseForMemory();
    }
    const std::vector<std::string> Arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Recorder::RunRecorder(Arguments);
}
