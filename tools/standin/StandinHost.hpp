// What the stand-in needs from the operating system. Each platform implements these in one small
// file that CMake picks (StandinPosix.cpp here; a Windows file joins later), so the tool's logic
// carries no platform conditionals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Standin::Host {

// The program's arguments as UTF-8 text, argv[0] included. On POSIX these are argv's bytes as
// they came; Windows has to rebuild them from the wide command line, because the argv handed to
// main there is in the ANSI code page and loses characters.
std::vector<std::string> Arguments(int Argc, char** Argv);

// The command line exactly as the operating system delivered it, where it delivers one at all.
// A POSIX process only ever receives argv, so there it is absent; on Windows it is the text that
// the starting process composed, which is precisely what the tests need to see.
std::optional<std::string> RawCommandLine();

// How the starting process asked for the tool's window to be shown, where the system has that
// notion and the starter said anything about it.
std::optional<unsigned> ShowState();

// The variable's value as UTF-8, or nothing when it is not set.
std::optional<std::string> EnvironmentValue(const char* Name);

std::uint64_t ProcessId();

void SleepMilliseconds(std::uint32_t Milliseconds);

// Appends the bytes to the file (creating it if needed) with a single write in append mode, so
// the lines of runs that log at the same moment never interleave. Returns why it failed, or
// nothing when every byte was written.
std::optional<std::string> AppendToFile(const std::string& Path, std::string_view Bytes);

} // namespace Standin::Host
