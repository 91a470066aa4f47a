// What the recorder's integration tests share: the recorder's command lines, runs with an explicit
// environment, a run that is watched while it writes, the readers that take a virtual disc apart
// again, and a comparison of two folder trees.
#pragma once

#include "ChildProcess.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace RecorderTest {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

inline const std::string RecorderPath = QUELT_RECORDER_PATH;

// The names of those of Programs that are not on the PATH, joined; empty when all are there.
std::string MissingPrograms(const Strings& Programs);

// A data disc's command line as the component composes it onto drive E: Options are the switches
// after "--iso LABEL", in the grammar's order, and Entries follow them.
Strings DataDisc(const std::string& Label, const Strings& Options, const Strings& Entries);

// The environment of a recorder run: only PATH, drive E mapped to Disc, and Extra.
Strings RecorderEnvironment(const fs::path& Disc, const Strings& Extra = {});

// Runs the recorder with these arguments and that environment.
QueltTest::ProcessOutcome RunRecorder(const Strings& Arguments, const Strings& Environment);

// A reader run: the outcome of the program with the current PATH.
QueltTest::ProcessOutcome RunReader(const Strings& Argv);

// The value of Key in a question's answer ("key=value" lines), "(none)" when it has none; as a
// number, 0 when it is none.
std::string AnswerOf(const std::string& Out, const std::string& Key);

// The lines of Text that start with Head, and its last line.
Strings LinesStartingWith(const std::string& Text, const std::string& Head);
std::string LastLine(const std::string& Text);
std::uint64_t NumberOf(const std::string& Out, const std::string& Key);

// Takes a virtual disc apart into Out (created): xorriso reads Rock Ridge, of the last session or
// of session Session (1 the first); 7z reads Joliet. Return the reader's outcome.
QueltTest::ProcessOutcome ExtractWithXorriso(const fs::path& Image, const fs::path& Out,
                                             int Session = 0);
QueltTest::ProcessOutcome ExtractWith7z(const fs::path& Image, const fs::path& Out);

// Files whose names are not UTF-8, written into Folder (created): Latin-1, broken UTF-8, names
// cut off in a sequence at their end (one nothing else, one after a dot), and a Latin-1 folder
// holding more of them. Returns the entries to burn, the folder among them.
Strings WriteNamesOfAnyBytes(const fs::path& Folder);
// How many names (entries and what the folders hold) WriteNamesOfAnyBytes wrote.
constexpr std::size_t NamesOfAnyBytes = 9;
// The line the recorder says a burn with such names in, from its output.
std::string JolietReplacedLine(std::string_view Output);

// The volume identifier isoinfo shows ("Volume id: ..."), or what isoinfo said when it shows none.
std::string VolumeIdOf(const fs::path& Image);

// Every difference between two trees, in kind (file, folder, link), content and link target, as
// lines a failed assertion prints (at most Limit of them); empty when they are the same.
Strings TreeDifferences(const fs::path& Expected, const fs::path& Actual, std::size_t Limit = 20);

// The files beside Target that an interrupted write left (".NAME.recording-*", the lock
// ".NAME.lock").
Strings ScratchFilesBeside(const fs::path& Target);

// Makes Path a sparse file of Size bytes with Marker written at its start (so a corruption hook or
// a reader can find it) and nothing else stored.
void MakeSparseFile(const fs::path& Path, std::uintmax_t Size, std::string_view Marker);

using QueltTest::WatchedProgram;

// The processes whose parent is Parent.
std::vector<long> ChildrenOf(long Parent);
// True once the process has ended (gone, or a zombie no one collected yet).
bool HasEnded(long Pid);

} // namespace RecorderTest
