// NeroCmd.exe on Linux: the recorder, which writes the discs the component's command lines ask for.
#include "Recorder.hpp"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> Arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Recorder::RunRecorder(Arguments);
}
