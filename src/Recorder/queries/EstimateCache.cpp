#include "EstimateCache.hpp"

#include "Fingerprint.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace Recorder {

namespace {

constexpr std::size_t KeptQuestions = 64;

// The folder for the cache, made when missing (mode 0700); empty without one.
std::string CacheFolder() {
    std::string Base;
    if (const char* Cache = std::getenv("XDG_CACHE_HOME"); Cache != nullptr && *Cache == '/') {
        Base = Cache;
    } else if (const char* Home = std::getenv("HOME"); Home != nullptr && *Home == '/') {
        Base = std::string(Home) + "/.cache";
    } else {
        return {};
    }
    std::string Folder = Base + "/QueltBurner";
    for (const std::string& Step : {Base, Folder}) {
        if (::mkdir(Step.c_str(), 0700) != 0 && errno != EEXIST) {
            return {};
        }
    }
    return Folder;
}

// The recorder that answers: another build may lay sessions out differently.
void AddRecorder(Fingerprint& Question) {
    struct stat Program {};
    if (::stat("/proc/self/exe", &Program) == 0) {
        Question.Add(Program);
    }
}

struct Line {
    std::string Question;
    std::string Tree;
    std::uint64_t Blocks = 0;
};

std::vector<Line> ReadLines(const std::string& File) {
    std::vector<Line> Lines;
    std::ifstream In(File);
    for (std::string Text; Lines.size() < KeptQuestions && std::getline(In, Text);) {
        std::istringstream Words(Text);
        Line Read;
        if (Words >> Read.Question >> Read.Tree >> Read.Blocks) {
            Lines.push_back(std::move(Read));
        }
    }
    return Lines;
}

} // namespace

std::optional<EstimateCache> EstimateCache::For(const Request& Ask, const Target& Where,
                                                const MediumState& State) {
    const std::string Folder = CacheFolder();
    if (Folder.empty()) {
        return std::nullopt;
    }
    Fingerprint Question;
    Question.Add(std::string_view("data disc estimate 1"));
    AddRecorder(Question);
    Question.Add(Where.Path);
    Question.Add(State.Profile);
    for (const std::string& Word :
         {Ask.Label, Ask.Artist.value_or("\n"), Ask.Title.value_or("\n"), Ask.ImageFile}) {
        Question.Add(Word);
    }
    std::string Switches;
    for (const bool Switch :
         {Ask.Tao, Ask.CloseSession, Ask.Dvd, Ask.ForceEraseDisk, Ask.Import.has_value()}) {
        Switches += Switch ? '1' : '0';
    }
    Question.Add(Switches);
    for (const std::string& Entry : Ask.Entries) {
        Question.Add(Entry);
    }
    return EstimateCache(Folder + "/estimates", Question.Finish());
}

bool EstimateCache::Asked() const {
    const std::vector<Line> Kept = ReadLines(FFile);
    return std::any_of(Kept.begin(), Kept.end(),
                       [this](const Line& Each) { return Each.Question == FQuestion; });
}

std::optional<std::uint64_t> EstimateCache::Find(const std::string& Tree) const {
    for (const Line& Kept : ReadLines(FFile)) {
        if (Kept.Question == FQuestion && Kept.Tree == Tree) {
            return Kept.Blocks;
        }
    }
    return std::nullopt;
}

void EstimateCache::Keep(const std::string& Tree, std::uint64_t Blocks) const {
    std::ostringstream Text;
    Text << FQuestion << ' ' << Tree << ' ' << Blocks << '\n';
    std::size_t Count = 1;
    for (const Line& Kept : ReadLines(FFile)) {
        if (Kept.Question != FQuestion && ++Count <= KeptQuestions) {
            Text << Kept.Question << ' ' << Kept.Tree << ' ' << Kept.Blocks << '\n';
        }
    }
    // Written beside and renamed over: a reader sees the old cache or the new one, never a part.
    const std::string Written = FFile + "." + std::to_string(::getpid());
    {
        std::ofstream Out(Written, std::ios::trunc);
        Out << Text.str();
        if (!Out.flush()) {
            ::unlink(Written.c_str());
            return;
        }
    }
    if (::rename(Written.c_str(), FFile.c_str()) != 0) {
        ::unlink(Written.c_str());
    }
}

} // namespace Recorder
