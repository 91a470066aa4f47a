// Random settings of the component, one random operation, run waiting on the recording host. The
// tool must read back exactly the values that were set, each in its place, or, when the command
// line cannot be carried (it holds a NUL), the tool must not be started at all.
#include "CommandLineSplit.hpp"
#include "FuzzInput.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using QueltFuzz::Check;
using System::UnicodeString;

enum class Operation : std::uint8_t {
    Data,
    Audio,
    Video,
    SuperVideo,
    DVDVideo,
    Image,
    Erase,
    Eject,
    Burn
};
constexpr unsigned OperationCount = 9;

UnicodeString Decimal(std::int64_t Value) {
    const std::string Text = std::to_string(Value);
    return UnicodeString(Text.begin(), Text.end());
}

// Written here rather than taken from the library, so that a fault there cannot hide itself.
UnicodeString Trimmed(const UnicodeString& Value) {
    std::size_t First = 0;
    std::size_t Last = Value.size();
    while (First < Last && Value[First] <= u' ') {
        ++First;
    }
    while (Last > First && Value[Last - 1] <= u' ') {
        --Last;
    }
    return Value.substr(First, Last - First);
}

bool IsAsciiLetter(char16_t C) {
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z');
}

struct Settings {
    Operation Op = Operation::Data;
    char16_t Drive = u'E';
    bool FullErase = false;
    UnicodeString Tool;
    UnicodeString Label;
    UnicodeString Artist;
    UnicodeString Title;
    UnicodeString Image;
    std::uint16_t Speed = 0;
    int ContinueSession = 0;
    bool DisableEject = false;
    bool UnderrunProtection = false;
    bool DetectNonEmptyDisk = false;
    bool Verify = false;
    bool SpeedTest = false;
    bool Tao = false;
    bool ForceEraseDisk = false;
    bool CloseSession = false;
    bool DVD = false;
    bool HideNeroCmd = false;
    bool ShowMessages = false;
    Queltburner::TDiskType DiskType = Queltburner::dtData;
    std::vector<UnicodeString> Entries;
    std::uint32_t ExitCode = 0;
};

char16_t DecodeDrive(QueltFuzz::FuzzInput& In) {
    const std::uint8_t Kind = In.Byte();
    if (Kind < 0xC0) {
        // Mostly letters, of both cases, so that composition is reached.
        const auto Index = static_cast<unsigned>(Kind % 52U);
        return static_cast<char16_t>(Index < 26U ? u'A' + Index : u'a' + (Index - 26U));
    }
    return static_cast<char16_t>(In.U16());
}

Settings Decode(QueltFuzz::FuzzInput& In, QueltTest::RecordingHost& Host) {
    Settings S;
    S.Op = static_cast<Operation>(In.Byte() % OperationCount);
    S.Drive = DecodeDrive(In);
    const std::uint16_t Switches = In.U16();
    const auto Bit = [Switches](unsigned Index) {
        return ((static_cast<unsigned>(Switches) >> Index) & 1U) != 0;
    };
    S.FullErase = Bit(0);
    S.DisableEject = Bit(1);
    S.UnderrunProtection = Bit(2);
    S.DetectNonEmptyDisk = Bit(3);
    S.Verify = Bit(4);
    S.SpeedTest = Bit(5);
    S.Tao = Bit(6);
    S.ForceEraseDisk = Bit(7);
    S.CloseSession = Bit(8);
    S.DVD = Bit(9);
    S.HideNeroCmd = Bit(10);
    S.ShowMessages = Bit(11);
    // Any byte: values past dtDVDVideo are part of what Burn must handle.
    S.DiskType = static_cast<Queltburner::TDiskType>(In.Byte());
    S.Speed = In.U16();
    S.ContinueSession = std::bit_cast<std::int32_t>(In.U32());
    S.ExitCode = In.U32();
    // A file name cannot hold a double quote on Windows, and the program-name rule has no way to
    // carry one, so the tool's path is any text without it.
    for (const char16_t C : In.Text()) {
        if (C != u'"') {
            S.Tool.push_back(C);
        }
    }
    S.Label = In.Text();
    S.Artist = In.Text();
    S.Title = In.Text();
    S.Image = In.Text();
    if (In.Bool()) {
        Host.Files.insert(S.Image);
    }
    const unsigned EntryCount = In.Byte() % 8U;
    for (unsigned I = 0; I < EntryCount; ++I) {
        UnicodeString Entry = In.Text();
        const std::uint8_t Exists = In.Byte();
        if ((Exists & 1U) != 0) {
            Host.Files.insert(Entry);
        }
        if ((Exists & 2U) != 0) {
            Host.Directories.insert(Entry);
        }
        S.Entries.push_back(std::move(Entry));
    }
    return S;
}

void Apply(const Settings& S, Queltburner::TQueltBurner& Burner) {
    Burner.NeroCmdLocation = S.Tool;
    Burner.SetSynchronous(true);
    Burner.SetVolumeLabel(S.Label);
    Burner.SetArtist(S.Artist);
    Burner.SetTitle(S.Title);
    Burner.SetSpeed(S.Speed);
    Burner.SetContinueSession(S.ContinueSession);
    Burner.SetDisableEject(S.DisableEject);
    Burner.SetUnderrunProtection(S.UnderrunProtection);
    Burner.SetDetectNonEmptyDisk(S.DetectNonEmptyDisk);
    Burner.SetVerify(S.Verify);
    Burner.SetSpeedTest(S.SpeedTest);
    Burner.SetTao(S.Tao);
    Burner.SetForceEraseDisk(S.ForceEraseDisk);
    Burner.SetCloseSession(S.CloseSession);
    Burner.SetDVD(S.DVD);
    Burner.SetHideNeroCmd(S.HideNeroCmd);
    Burner.SetShowMessages(S.ShowMessages);
    Burner.SetDiskType(S.DiskType);
    Burner.Files()->Clear();
    for (const UnicodeString& Entry : S.Entries) {
        Burner.Files()->Add(Entry);
    }
}

int Run(const Settings& S, Queltburner::TQueltBurner& Burner) {
    switch (S.Op) {
    case Operation::Data:
        return Burner.BurnData(S.Drive);
    case Operation::Audio:
        return Burner.BurnAudio(S.Drive);
    case Operation::Video:
        return Burner.BurnVideo(S.Drive);
    case Operation::SuperVideo:
        return Burner.BurnSuperVideo(S.Drive);
    case Operation::DVDVideo:
        return Burner.BurnDVDVideo(S.Drive);
    case Operation::Image:
        return Burner.BurnImage(S.Image, S.Drive);
    case Operation::Erase:
        return Burner.Erase(S.Drive, S.FullErase);
    case Operation::Eject:
        return Burner.Eject(S.Drive);
    case Operation::Burn:
        return Burner.Burn(S.Drive);
    }
    return 0;
}

// The argv the tool must see, built from the settings by the tool's own option table.
class ExpectedArgv {
public:
    ExpectedArgv(const Settings& S, const QueltTest::RecordingHost& Host) : FS(S), FHost(Host) {
        FArgv.push_back(S.Tool);
    }

    std::vector<UnicodeString> For(Operation Op) {
        switch (Op) {
        case Operation::Data:
            FileSystemHead();
            if (FS.ContinueSession >= 0) {
                Add({u"--import", Decimal(FS.ContinueSession)});
            }
            WriteSwitches();
            AddIf(FS.DVD, u"--dvd");
            EntriesThenForceErase();
            break;
        case Operation::DVDVideo:
            FileSystemHead();
            WriteSwitches();
            Add({u"--dvd", u"--create_iso_fs", u"--create_udf_fs", u"--iso-no-joliet",
                 u"--dvdvideo_realloc"});
            EntriesThenForceErase();
            break;
        case Operation::Audio:
            BurnHead();
            AddIf(FS.Tao, u"--tao");
            ArtistAndTitle();
            Add({u"--recursive", u"--speed", Decimal(FS.Speed)});
            AddIf(FS.DisableEject, u"--disable_eject");
            Add({u"--audio"});
            Entries();
            break;
        case Operation::Video:
        case Operation::SuperVideo:
            BurnHead();
            AddIf(FS.Tao, u"--tao");
            AddIf(FS.DisableEject, u"--disable_eject");
            Add({Op == Operation::Video ? u"--videocd" : u"--svideocd", u"--recursive", u"--speed",
                 Decimal(FS.Speed)});
            AddIf(FS.SpeedTest, u"--speedtest");
            AddIf(FS.CloseSession, u"--close_session");
            EntriesThenForceErase();
            break;
        case Operation::Image:
            BurnHead();
            AddIf(FS.Tao, u"--tao");
            AddIf(FS.DVD, u"--dvd");
            Add({u"--image", FS.Image, u"--speed", Decimal(FS.Speed)});
            AddIf(FS.SpeedTest, u"--speedtest");
            AddIf(FS.CloseSession, u"--close_session");
            AddIf(FS.DetectNonEmptyDisk, u"--detect_non_empty_disk");
            AddIf(FS.UnderrunProtection, u"--underrun_prot");
            AddIf(FS.DisableEject, u"--disable_eject");
            AddIf(FS.ForceEraseDisk, u"--force_erase_disk");
            break;
        case Operation::Erase:
            Add({u"--erase"});
            AddIf(FS.FullErase, u"--entire");
            Add({u"--drivename", UnicodeString(1, FS.Drive)});
            break;
        case Operation::Eject:
            Add({u"--eject", u"--drivename", UnicodeString(1, FS.Drive)});
            break;
        case Operation::Burn:
            return For(BurnOperation(FS.DiskType));
        }
        return FArgv;
    }

    static Operation BurnOperation(Queltburner::TDiskType Type) {
        switch (Type) {
        case Queltburner::dtData:
            return Operation::Data;
        case Queltburner::dtAudio:
            return Operation::Audio;
        case Queltburner::dtVideo:
            return Operation::Video;
        case Queltburner::dtSuperVideo:
            return Operation::SuperVideo;
        default:
            return Operation::DVDVideo;
        }
    }

private:
    void Add(std::initializer_list<UnicodeString> Items) {
        FArgv.insert(FArgv.end(), Items.begin(), Items.end());
    }
    void AddIf(bool Condition, const UnicodeString& Item) {
        if (Condition) {
            FArgv.push_back(Item);
        }
    }
    void BurnHead() { Add({u"--write", u"--drivename", UnicodeString(1, FS.Drive), u"--real"}); }
    void ArtistAndTitle() {
        const UnicodeString Artist = Trimmed(FS.Artist);
        const UnicodeString Title = Trimmed(FS.Title);
        if (!Artist.empty()) {
            Add({u"--artist", Artist});
        }
        if (!Title.empty()) {
            Add({u"--title", Title});
        }
    }
    void FileSystemHead() {
        BurnHead();
        AddIf(FS.Tao, u"--tao");
        ArtistAndTitle();
        Add({u"--recursive", u"--speed", Decimal(FS.Speed), u"--iso", FS.Label});
    }
    void WriteSwitches() {
        AddIf(FS.SpeedTest, u"--speedtest");
        AddIf(FS.CloseSession, u"--close_session");
        AddIf(FS.DetectNonEmptyDisk, u"--detect_non_empty_disk");
        AddIf(FS.UnderrunProtection, u"--underrun_prot");
        AddIf(FS.DisableEject, u"--disable_eject");
        AddIf(FS.Verify, u"--verify");
    }
    void Entries() {
        for (const UnicodeString& Entry : FS.Entries) {
            if (FHost.Files.count(Entry) != 0 || FHost.Directories.count(Entry) != 0) {
                // A name that starts like a switch reaches the tool as a path, never as one.
                FArgv.push_back(Entry.starts_with(u'-') ? u"./" + Entry : Entry);
            }
        }
    }
    void EntriesThenForceErase() {
        Entries();
        AddIf(FS.ForceEraseDisk, u"--force_erase_disk");
    }

    const Settings& FS;
    const QueltTest::RecordingHost& FHost;
    std::vector<UnicodeString> FArgv;
};

bool HoldsNul(const std::vector<UnicodeString>& Argv) {
    for (const UnicodeString& Item : Argv) {
        if (Item.find(u'\0') != UnicodeString::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    QueltFuzz::FuzzInput In(Data, Size);
    const auto Host = std::make_shared<QueltTest::RecordingHost>();
    const Settings S = Decode(In, *Host);
    // Every drive the component may ask about is optical, and the tool exists, so only the
    // component's own checks can keep it from composing.
    Host->MakeReady(S.Drive, S.Tool);
    Host->ExitCode = S.ExitCode;
    int Result = 0;
    {
        Queltburner::TQueltBurner Burner(nullptr, Host);
        Apply(S, Burner);
        Host->Calls.clear();
        Result = Run(S, Burner);
    }
    Check(Host->OpenHandles() == 0, "every handle is released");
    Check(Host->UnknownReleases == 0, "no handle is released twice");

    if (!IsAsciiLetter(S.Drive)) {
        Check(Result == -2, "a drive that is not a letter gives -2");
        Check(Host->Starts.empty(), "a drive that is not a letter starts nothing");
        return 0;
    }
    if (S.Op == Operation::Image && Host->Files.count(S.Image) == 0) {
        Check(Result == -3, "a missing image gives -3");
        Check(Host->Starts.empty(), "a missing image starts nothing");
        return 0;
    }
    const std::vector<UnicodeString> Expected = ExpectedArgv(S, *Host).For(S.Op);
    if (HoldsNul(Expected)) {
        Check(Result == -1, "a command line holding a NUL gives -1");
        Check(Host->Starts.empty(), "a command line holding a NUL starts nothing");
        return 0;
    }
    Check(Host->Starts.size() == 1, "exactly one start");
    const QueltTest::StartRequest& Start = Host->Starts.front();
    Check(Start.Application == S.Tool, "the started program is the tool");
    Check(Start.ShowState == (S.HideNeroCmd ? 0 : 1), "the show state follows HideNeroCmd");
    Check(Start.Mode == Queltburner::LaunchMode::Waited, "a synchronous run waits");
    const std::vector<UnicodeString> Argv = Queltburner::SplitCommandLine(Start.CommandLine);
    Check(!Argv.empty() && Argv.front() == S.Tool, "argv[0] is the tool's path");
    Check(Argv.size() == Expected.size(), "the options imply the number of argv items");
    Check(Argv == Expected, "every value reaches the tool unchanged, in its place");
    Check(Result == std::bit_cast<std::int32_t>(S.ExitCode), "the result is the exit code");
    return 0;
}
