// Which registry-export file the POSIX host reads its settings from, and reading it: the user's,
// the system's under the XDG configuration folders, or the one the install put in place. What a
// file holds is read by RegistryFile.hpp.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Queltburner::Posix {

// The environment variables that place the registry file; nullptr for one that is unset.
struct RegistryFileEnvironment {
    const char* QueltRegistry = nullptr; // QUELT_REGISTRY
    const char* ConfigHome = nullptr;    // XDG_CONFIG_HOME
    const char* Home = nullptr;          // HOME
    const char* ConfigDirs = nullptr;    // XDG_CONFIG_DIRS
};

// The files the registry may be read from, best first; only the first that exists is read, so a
// user's file hides the defaults entirely rather than merging with them. When QUELT_REGISTRY is
// set, its file is the only one: a test or a script that names a file gets that file or nothing.
// Otherwise the user's QueltBurner/user.reg under XDG_CONFIG_HOME (default ~/.config), then the
// same name under each absolute folder of XDG_CONFIG_DIRS (/etc/xdg when unset or empty; the XDG
// rules make relative entries invalid), then InstalledDefault, where the install put its own.
std::vector<std::string> RegistryFileCandidates(const RegistryFileEnvironment& Environment,
                                                const std::string& InstalledDefault);

// The largest registry file that is read; a larger one counts as a registry without the value.
constexpr std::size_t LargestRegistryFile = 4U << 20U;

// The value Name under HKEY_CURRENT_USER\Key in the first of this process's candidates that exists.
// A file that is there but cannot be used still ends the search: falling back past it onto a
// default would hide the user's (or the administrator's) mistake behind a working setup. Throws
// std::runtime_error when that file cannot be opened or read.
RegistryValue ReadUserValue(const std::string& InstalledDefault, std::u16string_view Key,
                            std::u16string_view Name);

// The file ReadUserValue reads: the first of this process's candidates that exists, readable or
// not; no value when none does.
std::optional<std::string> RegistryFileInUse(const std::string& InstalledDefault);

} // namespace Queltburner::Posix
