#include "DriveFacts.hpp"

#include "DriveHold.hpp"
#include "DriveMap.hpp"
#include "MappedDrives.hpp"
#include "PosixHostServices.hpp"
#include "System.SysUtils.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace Queltburner::Posix {

namespace {

// The table's columns of one line, after its name ("Can write CD-R:\t\t1\t0").
std::vector<std::string> ColumnsOf(std::string_view Line) {
    std::istringstream Fields{std::string(Line.substr(Line.find(':') + 1))};
    return {std::istream_iterator<std::string>(Fields), std::istream_iterator<std::string>()};
}

std::string FileText(const std::filesystem::path& Path) {
    std::ifstream In(Path);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

std::string TrimmedLine(const std::filesystem::path& Path) {
    const std::string Text = FileText(Path);
    return std::string(System::Sysutils::TrimBlanks(
        std::string_view(Text).substr(0, std::min(Text.size(), Text.find('\n')))));
}

// The kernel's name of the drive ("sr0") whose device folder is Folder.
std::string BlockNameOf(const std::filesystem::path& Folder) {
    std::error_code Failed;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder / "block", Failed)) {
        return Entry.path().filename().string();
    }
    return {};
}

// Vendor, model and media of the drive whose device node is Device; nothing for anything else.
void ReadDeviceFacts(const std::string& Device, TOpticalDrive& Drive) {
    struct stat Node {};
    if (::stat(Device.c_str(), &Node) != 0 || !(S_ISBLK(Node.st_mode) || S_ISCHR(Node.st_mode))) {
        return;
    }
    const std::filesystem::path Folder = DeviceFolderOf(Node);
    if (Folder.empty()) {
        return;
    }
    Drive.Vendor = System::Sysutils::UTF8ToString(TrimmedLine(Folder / "vendor"));
    Drive.Model = System::Sysutils::UTF8ToString(TrimmedLine(Folder / "model"));
    Drive.Media = System::Sysutils::UTF8ToString(
        WritableMediaOf(FileText("/proc/sys/dev/cdrom/info"), BlockNameOf(Folder)));
}

} // namespace

std::string WritableMediaOf(std::string_view CdromInfo, std::string_view DriveName) {
    constexpr std::pair<std::string_view, std::string_view> Rows[] = {
        {"Can write CD-R:", "CD-R"},
        {"Can write CD-RW:", "CD-RW"},
        {"Can write DVD-R:", "DVD-R"},
        {"Can write DVD-RAM:", "DVD-RAM"},
    };
    std::optional<std::size_t> Column;
    std::string Media;
    while (!CdromInfo.empty()) {
        const std::size_t End = std::min(CdromInfo.size(), CdromInfo.find('\n'));
        const std::string_view Line = CdromInfo.substr(0, End);
        CdromInfo.remove_prefix(std::min(CdromInfo.size(), End + 1));
        const std::vector<std::string> Columns = ColumnsOf(Line);
        if (Line.starts_with("drive name:")) {
            for (std::size_t I = 0; I < Columns.size(); ++I) {
                if (Columns[I] == DriveName) {
                    Column = I;
                }
            }
        }
        for (const auto& [Row, Name] : Rows) {
            if (Column && Line.starts_with(Row) && *Column < Columns.size() &&
                Columns[*Column] == "1") {
                Media.append(Media.empty() ? "" : ", ").append(Name);
            }
        }
    }
    return Media;
}

System::UnicodeString PosixHostServices::DriveTarget(System::WideChar Drive) {
    const std::optional<std::string> Target =
        DriveTargetOf(Drive, CurrentDriveMap().Text(), DeviceNodeExists);
    return Target ? System::Sysutils::FileNameToString(*Target) : System::UnicodeString();
}

TOpticalDrive PosixHostServices::DescribeDrive(System::WideChar Drive) {
    TOpticalDrive Described;
    Described.Letter = Drive;
    const std::optional<std::string> Target =
        DriveTargetOf(Drive, CurrentDriveMap().Text(), DeviceNodeExists);
    if (!Target) {
        return Described;
    }
    Described.Target = System::Sysutils::FileNameToString(*Target);
    struct stat Node {};
    const bool IsDevice =
        ::stat(Target->c_str(), &Node) == 0 && (S_ISBLK(Node.st_mode) || S_ISCHR(Node.st_mode));
    if (IsDevice) {
        ReadDeviceFacts(*Target, Described);
    } else {
        // An image file (or one a burn will make) takes any disc the settings ask for.
        Described.Media = u"any";
    }
    Described.Busy = HeldByRun(*Target);
    return Described;
}

} // namespace Queltburner::Posix
