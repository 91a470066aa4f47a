#include "ToolIdentity.hpp"

#include "PosixHostServices.hpp"
#include "System.SysUtils.hpp"

#include <cstring>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>
#include <vector>

namespace Queltburner::Posix {

namespace {

// A section table or name table larger than this is no program's: the file is not looked at
// further, so a hostile file cannot make the host read or allocate much.
constexpr std::size_t MostTableBytes = std::size_t{1} << 20U;

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& Path)
        : FDescriptor(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ReadOnlyFile(ReadOnlyFile&&) = delete;
    ReadOnlyFile& operator=(ReadOnlyFile&&) = delete;
    ~ReadOnlyFile() {
        if (FDescriptor >= 0) {
            ::close(FDescriptor);
        }
    }

    // Exactly Size bytes at Offset into Into, or false.
    bool ReadAt(void* Into, std::size_t Size, std::uint64_t Offset) const {
        auto* Bytes = static_cast<char*>(Into);
        std::size_t Done = 0;
        while (Done < Size) {
            const ssize_t Got =
                ::pread(FDescriptor, Bytes + Done, Size - Done, static_cast<off_t>(Offset + Done));
            if (Got <= 0) {
                return false;
            }
            Done += static_cast<std::size_t>(Got);
        }
        return true;
    }

    bool IsOpen() const noexcept { return FDescriptor >= 0; }

private:
    int FDescriptor;
};

} // namespace

bool HasElfSection(const std::string& Path, std::string_view Name) {
    const ReadOnlyFile File(Path);
    ElfW(Ehdr) Header{};
    if (!File.IsOpen() || !File.ReadAt(&Header, sizeof Header, 0) ||
        std::memcmp(Header.e_ident, ELFMAG, SELFMAG) != 0 ||
        Header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
        Header.e_shentsize != sizeof(ElfW(Shdr)) || Header.e_shstrndx >= Header.e_shnum) {
        return false;
    }
    const std::size_t TableBytes = std::size_t{Header.e_shnum} * sizeof(ElfW(Shdr));
    if (TableBytes > MostTableBytes) {
        return false;
    }
    std::vector<ElfW(Shdr)> Sections(Header.e_shnum);
    if (!File.ReadAt(Sections.data(), TableBytes, Header.e_shoff)) {
        return false;
    }
    const ElfW(Shdr)& NameTable = Sections[Header.e_shstrndx];
    if (NameTable.sh_size > MostTableBytes) {
        return false;
    }
    std::string Names(static_cast<std::size_t>(NameTable.sh_size), '\0');
    if (!File.ReadAt(Names.data(), Names.size(), NameTable.sh_offset)) {
        return false;
    }
    for (const ElfW(Shdr) & Section : Sections) {
        if (Section.sh_name < Names.size() &&
            std::string_view(Names.c_str() + Section.sh_name) == Name) {
            return true;
        }
    }
    return false;
}

bool PosixHostServices::ToolIsRecorder(const System::UnicodeString& Tool) {
    // The tool's path as it is started (ArgvOf): the bytes of its name, or no file at all.
    std::string Path;
    return !Tool.empty() && System::Sysutils::TryAppendFileNameWithoutNul(Path, Tool) &&
           HasElfSection(Path, RecorderSection);
}

} // namespace Queltburner::Posix
