#include "TestFiles.hpp"

#include "System.SysUtils.hpp"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace QueltTest {

TempDir::TempDir() {
    std::random_device Random;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const auto Candidate =
            std::filesystem::temp_directory_path() / ("quelt-test-" + std::to_string(Random()));
        if (std::filesystem::create_directory(Candidate)) {
            FPath = Candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
}

std::filesystem::path TempDir::Write(const std::string& Name, std::string_view Content,
                                     bool Executable) const {
    const auto File = FPath / Name;
    std::filesystem::create_directories(File.parent_path());
    {
        std::ofstream Out(File, std::ios::binary | std::ios::trunc);
        Out.write(Content.data(), static_cast<std::streamsize>(Content.size()));
        if (!Out) {
            throw std::runtime_error("cannot write " + File.string());
        }
    }
    if (Executable) {
        std::filesystem::permissions(File, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
    return File;
}

std::filesystem::path TempDir::MakeDir(const std::string& Name) const {
    const auto Folder = FPath / Name;
    std::filesystem::create_directories(Folder);
    return Folder;
}

std::string Utf8(std::u16string_view Text) {
    return System::Sysutils::UTF8Encode(Text);
}

System::UnicodeString Utf16(std::string_view Text) {
    return System::Sysutils::UTF8ToString(Text);
}

System::UnicodeString PathText(const std::filesystem::path& Path) {
    return System::Sysutils::FileNameToString(Path.string()); // any bytes, as the host reads them
}

std::string ReadFile(const std::filesystem::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

} // namespace QueltTest
