// Waits until a drive letter is a CD-ROM drive, for the scripts that run the Windows tests under
// Wine. Wine's mount manager reads a prefix's drive mapping only while its services start after a
// server restart, so the first programs of a new session can still find the drive missing or see
// a plain folder; a test that checked the drive then would fail for a reason of its environment.
//
// Usage: quelt_wait_cdrom DRIVE [SECONDS]
//   DRIVE is a letter, optionally with its colon ("E" or "E:"); SECONDS (default 60) is how long
//   to wait. Exit code 0 once the drive is a CD-ROM drive, 1 when the time runs out, 2 when the
//   arguments are wrong.

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr double DefaultSeconds = 60.0;
constexpr DWORD PollMilliseconds = 50;

const char* DriveTypeName(UINT Type) {
    switch (Type) {
    case DRIVE_UNKNOWN:
        return "of unknown type (DRIVE_UNKNOWN)";
    case DRIVE_NO_ROOT_DIR:
        return "not there (DRIVE_NO_ROOT_DIR)";
    case DRIVE_REMOVABLE:
        return "a removable drive (DRIVE_REMOVABLE)";
    case DRIVE_FIXED:
        return "a fixed drive (DRIVE_FIXED)";
    case DRIVE_REMOTE:
        return "a network drive (DRIVE_REMOTE)";
    case DRIVE_CDROM:
        return "a CD-ROM drive (DRIVE_CDROM)";
    case DRIVE_RAMDISK:
        return "a RAM disk (DRIVE_RAMDISK)";
    default:
        return "of a type GetDriveTypeW does not document";
    }
}

// "E", "e" or "E:" gives 'E'; anything else gives 0.
char DriveLetter(const std::string& Text) {
    if (Text.empty() || Text.size() > 2 || (Text.size() == 2 && Text[1] != ':')) {
        return 0;
    }
    const char Letter = Text[0];
    if (Letter >= 'A' && Letter <= 'Z') {
        return Letter;
    }
    if (Letter >= 'a' && Letter <= 'z') {
        return static_cast<char>(Letter - 'a' + 'A');
    }
    return 0;
}

// A non-negative, finite number of seconds; a negative result marks a wrong argument.
double Seconds(const char* Text) {
    char* End = nullptr;
    const double Value = std::strtod(Text, &End);
    if (End == Text || *End != '\0' || !std::isfinite(Value) || Value < 0.0) {
        return -1.0;
    }
    return Value;
}

} // namespace

int main(int argc, char** argv) {
    const char Letter = argc == 2 || argc == 3 ? DriveLetter(argv[1]) : 0;
    const double Limit = argc == 3 ? Seconds(argv[2]) : DefaultSeconds;
    if (Letter == 0 || Limit < 0.0) {
        std::fprintf(stderr, "usage: quelt_wait_cdrom DRIVE [SECONDS]  (for example: E 60)\n");
        return 2;
    }

    const wchar_t Root[] = {static_cast<wchar_t>(Letter), L':', L'\\', L'\0'};
    const auto Start = std::chrono::steady_clock::now();
    bool First = true;
    UINT Last = DRIVE_UNKNOWN;
    for (;;) {
        const UINT Type = GetDriveTypeW(Root);
        const double Waited =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        if (Type == DRIVE_CDROM) {
            std::printf("drive %c: is a CD-ROM drive after %.2f s\n", Letter, Waited);
            return 0;
        }
        // Each change on the way is worth a line: it shows what the session went through.
        if (First || Type != Last) {
            std::printf("drive %c: is %s at %.2f s\n", Letter, DriveTypeName(Type), Waited);
            std::fflush(stdout);
        }
        First = false;
        Last = Type;
        if (Waited >= Limit) {
            std::fprintf(stderr,
                         "drive %c: is not a CD-ROM drive after %.2f s (limit %.2f s): "
                         "GetDriveTypeW last found it %s, value %u\n",
                         Letter, Waited, Limit, DriveTypeName(Type), Type);
            return 1;
        }
        Sleep(PollMilliseconds);
    }
}
