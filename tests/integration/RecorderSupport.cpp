#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace RecorderTest {

namespace {

std::string PathVariable() {
    const char* Path = std::getenv("PATH");
    return Path != nullptr ? Path : "/usr/bin:/bin";
}

// "file 12: <content>", "folder", "link -> target": what a tree holds at one place.
std::string Describe(const fs::path& Item) {
    const fs::file_status Status = fs::symlink_status(Item);
    if (fs::is_symlink(Status)) {
        return "link -> " + fs::read_symlink(Item).string();
    }
    if (fs::is_directory(Status)) {
        return "folder";
    }
    if (fs::is_regular_file(Status)) {
        const std::string Content = QueltTest::ReadFile(Item);
        return "file " + std::to_string(Content.size()) + ": " + Content;
    }
    return "something else";
}

std::map<std::string, std::string> Contents(const fs::path& Root) {
    std::map<std::string, std::string> Items;
    for (const fs::directory_entry& Entry : fs::recursive_directory_iterator(Root)) {
        Items.emplace(fs::relative(Entry.path(), Root).string(), Describe(Entry.path()));
    }
    return Items;
}

std::string Shortened(const std::string& Text) {
    constexpr std::size_t Shown = 60;
    return Text.size() <= Shown ? Text : Text.substr(0, Shown) + "...";
}

} // namespace

std::string MissingPrograms(const Strings& Programs) {
    std::string Missing;
    for (const std::string& Program : Programs) {
        bool Found = false;
        std::istringstream Folders(PathVariable());
        for (std::string Folder; !Found && std::getline(Folders, Folder, ':');) {
            Folder += "/";
            Folder += Program;
            Found = Folder.size() > Program.size() + 1 && ::access(Folder.c_str(), X_OK) == 0;
        }
        if (!Found) {
            Missing += (Missing.empty() ? "" : ", ") + Program;
        }
    }
    return Missing;
}

Strings DataDisc(const std::string& Label, const Strings& Options, const Strings& Entries) {
    Strings Arguments{"--write", "--drivename", "E",     "--real", "--recursive",
                      "--speed", "4",           "--iso", Label};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    return Arguments;
}

Strings RecorderEnvironment(const fs::path& Disc, const Strings& Extra) {
    Strings Environment{"PATH=" + PathVariable(), "QUELT_DRIVES=E=" + Disc.string()};
    Environment.insert(Environment.end(), Extra.begin(), Extra.end());
    return Environment;
}

QueltTest::ProcessOutcome RunRecorder(const Strings& Arguments, const Strings& Environment) {
    Strings Argv{RecorderPath};
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    return QueltTest::RunProgram(Argv, Environment);
}

Strings LinesStartingWith(const std::string& Text, const std::string& Head) {
    Strings Found;
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.starts_with(Head)) {
            Found.push_back(Line);
        }
    }
    return Found;
}

std::string LastLine(const std::string& Text) {
    const std::string Trimmed = Text.ends_with('\n') ? Text.substr(0, Text.size() - 1) : Text;
    const std::size_t At = Trimmed.rfind('\n');
    return At == std::string::npos ? Trimmed : Trimmed.substr(At + 1);
}

std::string AnswerOf(const std::string& Out, const std::string& Key) {
    std::istringstream Lines(Out);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.starts_with(Key + "=")) {
            return Line.substr(Key.size() + 1);
        }
    }
    return "(none)";
}

std::uint64_t NumberOf(const std::string& Out, const std::string& Key) {
    const std::string Value = AnswerOf(Out, Key);
    return Value.find_first_not_of("0123456789") == std::string::npos ? std::stoull(Value) : 0;
}

QueltTest::ProcessOutcome RunReader(const Strings& Argv) {
    return QueltTest::RunProgram(Argv, Strings{"PATH=" + PathVariable(), "LC_ALL=C.UTF-8"});
}

QueltTest::ProcessOutcome ExtractWithXorriso(const fs::path& Image, const fs::path& Out,
                                             int Session) {
    Strings Argv{"xorriso", "-indev", "stdio:" + Image.string()};
    if (Session > 0) {
        Argv.insert(Argv.end(), {"-load", "session", std::to_string(Session)});
    }
    Argv.insert(Argv.end(), {"-osirrox", "on", "-extract", "/", Out.string()});
    return RunReader(Argv);
}

QueltTest::ProcessOutcome ExtractWith7z(const fs::path& Image, const fs::path& Out) {
    return RunReader({"7z", "x", "-y", "-o" + Out.string(), Image.string()});
}

Strings WriteNamesOfAnyBytes(const fs::path& Folder) {
    fs::create_directories(Folder / "caf\xE9 folder");
    const Strings Names{"caf\xE9.txt", "\xC3(.txt", "a\xFF\xFE",     "r\xE9sum\xE9",
                        "\xE9",        ".\xE2\x82", "caf\xE9 folder"};
    for (const char* Inside : {"caf\xE9 folder/na\xEFve", "caf\xE9 folder/\xF0\x9F\x98"}) {
        std::ofstream(Folder / Inside, std::ios::binary) << Inside;
    }
    Strings Entries;
    for (const std::string& Name : Names) {
        if (!fs::exists(Folder / Name)) {
            std::ofstream(Folder / Name, std::ios::binary) << Name;
        }
        Entries.push_back((Folder / Name).string());
    }
    return Entries;
}

std::string JolietReplacedLine(std::string_view Output) {
    constexpr std::string_view Head = "joliet names replaced: ";
    const std::size_t At = Output.find(Head);
    if (At == std::string_view::npos) {
        return "(no such line in: " + std::string(Output) + ")";
    }
    if (Output.find(Head, At + 1) != std::string_view::npos) {
        return "(more than one such line in: " + std::string(Output) + ")";
    }
    return std::string(Output.substr(At, Output.find('\n', At) - At));
}

std::string VolumeIdOf(const fs::path& Image) {
    const QueltTest::ProcessOutcome Info = RunReader({"isoinfo", "-d", "-i", Image.string()});
    constexpr std::string_view Head = "Volume id: ";
    std::istringstream Lines(Info.Out);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.starts_with(Head)) {
            return Line.substr(Head.size());
        }
    }
    return "(none; isoinfo said: " + Info.Out + Info.Err + ")";
}

Strings TreeDifferences(const fs::path& Expected, const fs::path& Actual, std::size_t Limit) {
    Strings Differences;
    if (!fs::is_directory(Expected) || !fs::is_directory(Actual)) {
        return {"not both folders: " + Expected.string() + ", " + Actual.string()};
    }
    const auto Wanted = Contents(Expected);
    const auto Got = Contents(Actual);
    for (const auto& [Name, What] : Wanted) {
        const auto Found = Got.find(Name);
        if (Found == Got.end()) {
            Differences.push_back("missing " + Name);
        } else if (Found->second != What) {
            Differences.push_back(Name + ": " + Shortened(Found->second) + " instead of " +
                                  Shortened(What));
        }
    }
    for (const auto& [Name, What] : Got) {
        if (!Wanted.contains(Name)) {
            Differences.push_back("unexpected " + Name + " (" + Shortened(What) + ")");
        }
    }
    if (Differences.size() > Limit) {
        const std::size_t More = Differences.size() - Limit;
        Differences.resize(Limit);
        Differences.push_back("and " + std::to_string(More) + " more");
    }
    return Differences;
}

Strings ScratchFilesBeside(const fs::path& Target) {
    Strings Found;
    const std::string Head = "." + Target.filename().string() + ".recording-";
    const std::string Lock = "." + Target.filename().string() + ".lock";
    for (const fs::directory_entry& Entry : fs::directory_iterator(Target.parent_path())) {
        const std::string Name = Entry.path().filename().string();
        if (Name.starts_with(Head) || Name == Lock) {
            Found.push_back(Entry.path().string());
        }
    }
    return Found;
}

void MakeSparseFile(const fs::path& Path, std::uintmax_t Size, std::string_view Marker) {
    {
        std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
        Out.write(Marker.data(), static_cast<std::streamsize>(Marker.size()));
    }
    fs::resize_file(Path, Size);
}

namespace {

// The state letter and the parent of a process, from /proc; none when it is gone.
bool ReadStat(long Pid, char& State, long& Parent) {
    std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string Line;
    if (!std::getline(Stat, Line)) {
        return false;
    }
    const std::size_t Close = Line.rfind(')');
    if (Close == std::string::npos) {
        return false;
    }
    std::istringstream Rest(Line.substr(Close + 1));
    Rest >> State >> Parent;
    return static_cast<bool>(Rest);
}

} // namespace

std::vector<long> ChildrenOf(long Parent) {
    std::vector<long> Children;
    std::error_code Error;
    for (const fs::directory_entry& Entry : fs::directory_iterator("/proc", Error)) {
        const std::string Name = Entry.path().filename().string();
        if (Name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        char State = 0;
        long Of = 0;
        if (ReadStat(std::stol(Name), State, Of) && Of == Parent) {
            Children.push_back(std::stol(Name));
        }
    }
    return Children;
}

bool HasEnded(long Pid) {
    char State = 0;
    long Parent = 0;
    return !ReadStat(Pid, State, Parent) || State == 'Z' || State == 'X';
}

} // namespace RecorderTest
