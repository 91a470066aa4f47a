// The recorder's stat, lstat, __xstat and __lxstat, which the libraries reach in place of libc's:
// inside a mapping's scope a lookup of the same path as the thread's last one is answered again,
// a link is never taken for its target, and outside the scope every lookup is a new one. And its
// burn_disc_write, which libisoburn reaches in place of libburn's.
#include "RepeatedLookups.hpp"
#include "TestFiles.hpp"
#include "WriteHandover.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// The old entry points, which glibc's headers no longer declare.
// NOLINTBEGIN(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" int __xstat(int Version, const char* Path, struct stat* Info) noexcept;
extern "C" int __lxstat(int Version, const char* Path, struct stat* Info) noexcept;
// NOLINTEND(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

namespace fs = std::filesystem;
using QueltTest::TempDir;

struct Lookup {
    const char* Name; // in the test's folder
    bool NoFollow;
};

struct LookupRow {
    const char* Case;
    std::vector<Lookup> Lookups;
    unsigned long Asked; // of the file system
};

class RecorderRepeatedLookups : public ::testing::TestWithParam<LookupRow> {};

TEST_P(RecorderRepeatedLookups, AsksTheFileSystemOnlyForANewPathOrKind) {
    TempDir Dir;
    Dir.Write("a.txt", "a");
    Dir.Write("b.txt", "bb");
    fs::create_symlink(Dir.Path() / "a.txt", Dir.Path() / "link");
    Recorder::RepeatedLookups Scope;
    for (const Lookup& Each : GetParam().Lookups) {
        const std::string Path = (Dir.Path() / Each.Name).string();
        struct stat Answer {};
        struct stat Expected {};
        const int Got =
            Each.NoFollow ? ::lstat(Path.c_str(), &Answer) : ::stat(Path.c_str(), &Answer);
        const int Want =
            ::fstatat(AT_FDCWD, Path.c_str(), &Expected, Each.NoFollow ? AT_SYMLINK_NOFOLLOW : 0);
        ASSERT_EQ(Got, Want) << Each.Name;
        if (Want == 0) {
            EXPECT_EQ(Answer.st_ino, Expected.st_ino) << Each.Name;
            EXPECT_EQ(Answer.st_mode, Expected.st_mode) << Each.Name;
            EXPECT_EQ(Answer.st_size, Expected.st_size) << Each.Name;
        }
    }
    EXPECT_EQ(Scope.Asked(), GetParam().Asked);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, RecorderRepeatedLookups,
    ::testing::Values(
        LookupRow{"SamePathAgain", {{"a.txt", true}, {"a.txt", true}, {"a.txt", true}}, 1},
        // A path that is not a link is the same file followed or not.
        LookupRow{"FollowedAfterNotFollowed", {{"a.txt", true}, {"a.txt", false}}, 1},
        LookupRow{"NotFollowedAfterFollowed", {{"a.txt", false}, {"a.txt", true}}, 2},
        // A link's lstat says nothing of its target.
        LookupRow{"LinkThenItsTarget", {{"link", true}, {"link", false}, {"link", false}}, 2},
        LookupRow{"AnotherPathBetween", {{"a.txt", true}, {"b.txt", true}, {"a.txt", true}}, 3},
        // A failure is never kept: a missing path is asked again (and still missing).
        LookupRow{"MissingAskedEachTime", {{"none", true}, {"none", true}}, 2}),
    [](const ::testing::TestParamInfo<LookupRow>& Info) { return std::string(Info.param.Case); });

TEST(RecorderRepeatedLookupsScope, OutsideTheScopeAndOnOtherThreadsEveryLookupIsNew) {
    TempDir Dir;
    Dir.Write("grows.txt", "a");
    const std::string Path = (Dir.Path() / "grows.txt").string();
    struct stat Info {};
    ASSERT_EQ(::stat(Path.c_str(), &Info), 0);
    Dir.Write("grows.txt", "abc");
    ASSERT_EQ(::stat(Path.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_size, 3);
    {
        Recorder::RepeatedLookups Scope;
        ASSERT_EQ(::lstat(Path.c_str(), &Info), 0);
        std::thread Other([&Dir, &Path] {
            Dir.Write("grows.txt", "abcdef");
            struct stat Seen {};
            ASSERT_EQ(::lstat(Path.c_str(), &Seen), 0);
            EXPECT_EQ(Seen.st_size, 6);
        });
        Other.join();
        EXPECT_EQ(Scope.Asked(), 1U);
    }
    EXPECT_EQ(Recorder::RepeatedLookups::OfThisThread(), nullptr);
    ASSERT_EQ(::lstat(Path.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_size, 6);
}

TEST(RecorderRepeatedLookupsScope, OldEntryPointsShareTheScopeAndRefuseUnknownLayouts) {
    TempDir Dir;
    Dir.Write("a.txt", "a");
    const std::string Path = (Dir.Path() / "a.txt").string();
    Recorder::RepeatedLookups Scope;
    struct stat Info {};
    EXPECT_EQ(__lxstat(1, Path.c_str(), &Info), 0);
    EXPECT_EQ(__xstat(1, Path.c_str(), &Info), 0);
    EXPECT_EQ(::stat(Path.c_str(), &Info), 0);
    EXPECT_EQ(Scope.Asked(), 1U);
    errno = 0;
    EXPECT_EQ(__xstat(3, Path.c_str(), &Info), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(RecorderRepeatedLookupsScope, TheLibrariesCallsReachTheProgramsFunctions) {
    // NOLINTBEGIN(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives addresses
    EXPECT_EQ(reinterpret_cast<void*>(&::lstat), ::dlsym(RTLD_DEFAULT, "lstat"));
    EXPECT_EQ(reinterpret_cast<void*>(&__xstat), ::dlsym(RTLD_DEFAULT, "__xstat"));
    EXPECT_TRUE(Recorder::LibraryWriteFound());
    EXPECT_NE(::dlsym(RTLD_DEFAULT, "burn_disc_write"), ::dlsym(RTLD_NEXT, "burn_disc_write"));
    // NOLINTEND(cppcoreguidelines-pro-type-reinterpret-cast)
}

} // namespace
