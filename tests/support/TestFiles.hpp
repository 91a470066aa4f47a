// Temporary folders and files, environment settings and text conversions for the tests.
#pragma once

#include "System.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace QueltTest {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    TempDir(TempDir&&) = delete;
    TempDir& operator=(TempDir&&) = delete;
    ~TempDir();

    const std::filesystem::path& Path() const { return FPath; }
    // Writes Content to the file Name (folders created as needed); returns its path.
    std::filesystem::path Write(const std::string& Name, std::string_view Content,
                                bool Executable = false) const;
    std::filesystem::path MakeDir(const std::string& Name) const;

private:
    std::filesystem::path FPath;
};

// Sets (or, with no value, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(std::string Name, const std::optional<std::string>& Value);
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ScopedEnv(ScopedEnv&&) = delete;
    ScopedEnv& operator=(ScopedEnv&&) = delete;
    ~ScopedEnv();

private:
    std::string FName;
    std::optional<std::string> FOld;
};

std::string Utf8(std::u16string_view Text);
System::UnicodeString Utf16(std::string_view Text);
System::UnicodeString PathText(const std::filesystem::path& Path);
std::string ReadFile(const std::filesystem::path& Path);

} // namespace QueltTest
