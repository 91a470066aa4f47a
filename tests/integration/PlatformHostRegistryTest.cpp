// The component through the POSIX host finding its tool through a registry file: the file's
// lines, which file is read, and the list of files tried as the XDG rules have it.
#include "ChildProcess.hpp"
#include "PosixHostServices.hpp"
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Queltburner::TQueltBurner;
using QueltTest::ReadStandinLog;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;
using QueltTest::Utf16;
using QueltTest::Utf8;
using System::UnicodeString;
using Strings = std::vector<std::string>;

using QueltTest::RealWorld;
using QueltTest::Standin;

TEST(PosixHost, DiscoveryThroughTheRegistryFile) {
    TempDir Dir;
    const fs::path ToolFolder = Dir.MakeDir("Nero 7");
    fs::copy_file(Standin, ToolFolder / "NeroCmd.exe");
    const fs::path EmptyFolder = Dir.MakeDir("empty");
    const fs::path Cwd = Dir.MakeDir("cwd");
    fs::copy_file(Standin, Cwd / "NeroCmd.exe");
    const auto RegFile = [&Dir](const std::string& Name, const std::string& ValueLine) {
        return Dir
            .Write(Name, "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n" +
                             ValueLine + "\r\n")
            .string();
    };
    const auto Escaped = [](const fs::path& Path) {
        std::string Out;
        for (const char C : Path.string()) {
            if (C == '\\' || C == '"') {
                Out.push_back('\\');
            }
            Out.push_back(C);
        }
        return Out;
    };
    const struct {
        const char* Case;
        std::string RegistryFile;
        std::string Expected;
    } Rows[] = {
        {"folder holding the tool",
         RegFile("a.reg",
                 "\"RegisteredTypesNeroPath\"=\"" + Escaped(ToolFolder / "nero.exe") + "\""),
         (ToolFolder / "NeroCmd.exe").string()},
        {"folder lacking the tool",
         RegFile("b.reg",
                 "\"RegisteredTypesNeroPath\"=\"" + Escaped(EmptyFolder / "nero.exe") + "\""),
         ""},
        {"missing file", (Dir.Path() / "none.reg").string(), "NeroCmd.exe"},
        {"value of another type", RegFile("c.reg", "\"RegisteredTypesNeroPath\"=dword:00000001"),
         "NeroCmd.exe"},
    };
    const fs::path Before = fs::current_path();
    fs::current_path(Cwd);
    for (const auto& Row : Rows) {
        ScopedEnv Registry{"QUELT_REGISTRY", Row.RegistryFile};
        const TQueltBurner Burner(nullptr,
                                  std::make_shared<Queltburner::Posix::PosixHostServices>());
        EXPECT_EQ(Utf8(Burner.NeroCmdLocation), Row.Expected) << Row.Case;
    }
    fs::current_path(EmptyFolder);
    {
        ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "none.reg").string()};
        const TQueltBurner Burner(nullptr,
                                  std::make_shared<Queltburner::Posix::PosixHostServices>());
        EXPECT_EQ(Burner.NeroCmdLocation, u"");
    }
    fs::current_path(Before);
}

// A Unix socket bound at Path (which opening fails on with ENXIO); -1 when it cannot be made.
int BoundSocket(const fs::path& Path) {
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    const std::string Native = Path.string();
    if (Native.size() >= sizeof(Address.sun_path)) {
        return -1;
    }
    std::copy(Native.begin(), Native.end(), std::begin(Address.sun_path));
    const int Socket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API's own cast
    if (Socket >= 0 &&
        bind(Socket, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0) {
        close(Socket);
        return -1;
    }
    return Socket;
}

// Which registry file a component created without QUELT_REGISTRY, or with it, reads. Each file
// that can be there names a folder of its own holding a tool, so the tool found says which file
// was read. What sits at the user's path is a regular file, a folder, a FIFO or a link to
// /dev/null; anything there ends the search.
TEST(PosixHost, RegistryFileIsTheFirstThatExists) {
    enum class Kind { File, Folder, Fifo, Socket, DevNull };
    const struct {
        const char* Case;
        bool Named;                      // QUELT_REGISTRY names named.reg
        std::optional<std::string> Dirs; // XDG_CONFIG_DIRS, with {a} {b} for the test's folders
        std::set<std::string> Present;   // of named, user, a, b, rel, installed
        Kind User;                       // what sits at the user's path, when present
        std::string Expected;            // whose tool is found; empty for none
    } Rows[] = {
        {"QUELT_REGISTRY wins",
         true,
         "{a}",
         {"named", "user", "a", "installed"},
         Kind::File,
         "named"},
        {"QUELT_REGISTRY naming a missing file hides the others",
         true,
         "{a}",
         {"user", "a", "installed"},
         Kind::File,
         ""},
        {"the user's file before XDG_CONFIG_DIRS",
         false,
         "{a}",
         {"user", "a", "installed"},
         Kind::File,
         "user"},
        {"the first XDG folder holding the file",
         false,
         "{a}:{b}",
         {"b", "installed"},
         Kind::File,
         "b"},
        {"XDG folders in the order listed", false, "{b}:{a}", {"a", "b"}, Kind::File, "b"},
        {"relative and empty XDG entries ignored",
         false,
         "rel::{b}",
         {"rel", "b"},
         Kind::File,
         "b"},
        {"the installed file last", false, "{a}", {"installed"}, Kind::File, "installed"},
        {"a user folder ends the search",
         false,
         "{a}",
         {"user", "a", "installed"},
         Kind::Folder,
         ""},
        {"a user FIFO ends the search without blocking",
         false,
         "{a}",
         {"user", "a"},
         Kind::Fifo,
         ""},
        {"a user socket ends the search", false, "{a}", {"user", "a"}, Kind::Socket, ""},
        {"a user link to /dev/null ends the search",
         false,
         "{a}",
         {"user", "a"},
         Kind::DevNull,
         ""},
    };
    const fs::path Before = fs::current_path();
    for (const auto& Row : Rows) {
        TempDir Dir;
        int Socket = -1;
        const auto RegFile =
            [&Dir](const fs::path& Path, const std::string& Owner) {
                const fs::path Tool = Dir.Write("tools/" + Owner + "/NeroCmd.exe", "");
                fs::create_directories(Path.parent_path());
                std::ofstream(Path)
                    << "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
                       "\"RegisteredTypesNeroPath\"=\""
                    << (Tool.parent_path() / "nero.exe").string() << "\"\n";
            };
        const std::map<std::string, fs::path> Places{
            {"named", Dir.Path() / "named.reg"},
            {"user", Dir.Path() / "home/QueltBurner/user.reg"},
            {"a", Dir.Path() / "a/QueltBurner/user.reg"},
            {"b", Dir.Path() / "b/QueltBurner/user.reg"},
            {"rel", Dir.Path() / "rel/QueltBurner/user.reg"},
            {"installed", Dir.Path() / "installed/user.reg"}};
        for (const std::string& Name : Row.Present) {
            const fs::path& Place = Places.at(Name);
            if (Name != "user" || Row.User == Kind::File) {
                RegFile(Place, Name);
                continue;
            }
            fs::create_directories(Place.parent_path());
            if (Row.User == Kind::Folder) {
                fs::create_directory(Place);
            } else if (Row.User == Kind::Fifo) {
                ASSERT_EQ(mkfifo(Place.c_str(), 0600), 0);
            } else if (Row.User == Kind::Socket) {
                Socket = BoundSocket(Place);
                ASSERT_GE(Socket, 0);
            } else {
                fs::create_symlink("/dev/null", Place);
            }
        }
        std::optional<std::string> Dirs = Row.Dirs;
        for (const char* Name : {"a", "b"}) {
            const std::string Mark = std::string("{") + Name + "}";
            for (std::size_t At; Dirs && (At = Dirs->find(Mark)) != std::string::npos;) {
                Dirs->replace(At, Mark.size(), (Dir.Path() / Name).string());
            }
        }
        // "rel" names Dir/rel only from Dir: the host must not take it relative to the current
        // folder.
        fs::current_path(Dir.Path());
        const ScopedEnv Registry{"QUELT_REGISTRY", Row.Named
                                                       ? std::optional(Places.at("named").string())
                                                       : std::nullopt};
        const ScopedEnv ConfigHome{"XDG_CONFIG_HOME", (Dir.Path() / "home").string()};
        const ScopedEnv ConfigDirs{"XDG_CONFIG_DIRS", Dirs};
        const TQueltBurner Burner(nullptr, std::make_shared<Queltburner::Posix::PosixHostServices>(
                                               Places.at("installed").string()));
        const std::string Expected =
            Row.Expected.empty() ? ""
                                 : (Dir.Path() / "tools" / Row.Expected / "NeroCmd.exe").string();
        EXPECT_EQ(Utf8(Burner.NeroCmdLocation), Expected) << Row.Case;
        fs::current_path(Before);
        if (Socket >= 0) {
            close(Socket);
        }
    }
}

// The list the host tries, for the environments the XDG rules distinguish.
TEST(PosixHost, RegistryFileCandidatesFollowTheXdgRules) {
    using Queltburner::Posix::RegistryFileCandidates;
    const std::string Installed = "/usr/local/etc/xdg/QueltBurner/user.reg";
    const struct {
        const char* Case;
        Queltburner::Posix::RegistryFileEnvironment Environment;
        Strings Expected;
    } Rows[] = {
        {"QUELT_REGISTRY alone", {"/r.reg", "/cfg", "/home/u", "/x"}, {"/r.reg"}},
        {"QUELT_REGISTRY set but empty still alone", {"", "/cfg", "/home/u", "/x"}, {""}},
        {"XDG_CONFIG_DIRS unset is /etc/xdg",
         {nullptr, "/cfg", "/home/u", nullptr},
         {"/cfg/QueltBurner/user.reg", "/etc/xdg/QueltBurner/user.reg", Installed}},
        {"XDG_CONFIG_DIRS empty is /etc/xdg",
         {nullptr, "/cfg", nullptr, ""},
         {"/cfg/QueltBurner/user.reg", "/etc/xdg/QueltBurner/user.reg", Installed}},
        {"XDG_CONFIG_DIRS in order, relative and empty entries dropped",
         {nullptr, "/cfg", nullptr, "/x:rel/dir::./y:/z:"},
         {"/cfg/QueltBurner/user.reg", "/x/QueltBurner/user.reg", "/z/QueltBurner/user.reg",
          Installed}},
        {"XDG_CONFIG_DIRS of relative entries only names no folder",
         {nullptr, "/cfg", nullptr, "rel"},
         {"/cfg/QueltBurner/user.reg", Installed}},
        {"XDG_CONFIG_HOME unset is HOME/.config",
         {nullptr, nullptr, "/home/u", "/x"},
         {"/home/u/.config/QueltBurner/user.reg", "/x/QueltBurner/user.reg", Installed}},
        {"XDG_CONFIG_HOME empty is HOME/.config",
         {nullptr, "", "/home/u", "/x"},
         {"/home/u/.config/QueltBurner/user.reg", "/x/QueltBurner/user.reg", Installed}},
        {"no user folder without either",
         {nullptr, "", "", "/x"},
         {"/x/QueltBurner/user.reg", Installed}},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(RegistryFileCandidates(Row.Environment, Installed), Row.Expected) << Row.Case;
    }
}

} // namespace
