#include "TextFile.hpp"

#include "ProgramArguments.hpp"
#include "System.SysUtils.hpp"

#include <filesystem>
#include <fstream>

namespace Queltburn {

std::optional<std::string> ReadTextFile(const System::UnicodeString& Path,
                                        System::UnicodeString& Text) {
    namespace fs = std::filesystem;
    // The name as the user gave it: on POSIX any bytes (see ProgramArguments).
    const fs::path File = QueltTools::ArgumentPath(Path);
    // The type is looked at before the file is opened: opening a FIFO would wait for a writer.
    std::error_code Error;
    const fs::file_status Status = fs::status(File, Error);
    if (Status.type() == fs::file_type::not_found) {
        return "does not exist";
    }
    if (Error) {
        return "cannot be read: " + Error.message();
    }
    if (fs::is_directory(Status)) {
        return "is a folder, not a file";
    }
    if (!fs::is_regular_file(Status)) {
        return "is not a regular file (a device, FIFO or socket is not read)";
    }
    const std::uintmax_t Size = fs::file_size(File, Error);
    if (Error) {
        return "cannot be read: " + Error.message();
    }
    if (Size > MaxTextFileBytes) {
        return "is larger than " + std::string(MaxTextFileSize);
    }
    std::ifstream In(File, std::ios::binary);
    if (!In) {
        return "cannot be opened for reading";
    }
    // One byte more than measured is asked for, to notice a file that grew past the limit since.
    std::string Bytes(static_cast<std::size_t>(Size) + 1, '\0');
    In.read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    if (In.bad()) {
        return "cannot be read";
    }
    Bytes.resize(static_cast<std::size_t>(In.gcount()));
    if (Bytes.size() > MaxTextFileBytes) {
        return "is larger than " + std::string(MaxTextFileSize);
    }
    System::UnicodeString Decoded = System::Sysutils::DecodeTextFile(Bytes);
    if (Decoded.find(u'\0') != System::UnicodeString::npos) {
        return "holds NUL characters: not a text file";
    }
    Text = std::move(Decoded);
    return std::nullopt;
}

} // namespace Queltburn
