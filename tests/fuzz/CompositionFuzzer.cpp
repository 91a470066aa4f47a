// Random settings of the component, one random operation, run waiting on the recording host. The
// tool must read back exactly the values that were set, each in its place, or, when the command
// line cannot be carried (it holds a NUL), the tool must not be started at all.
#include "CommandLineSplit.hpp"
#include "CompositionSettings.hpp"
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

using QueltFuzz::Apply;
using QueltFuzz::Check;
using QueltFuzz::Decode;
using QueltFuzz::Operation;
using QueltFuzz::Run;
using QueltFuzz::Settings;
using System::UnicodeString;

UnicodeString Decimal(std::int64_t Value) {
    const std::string Text = std::to_string(Value);
    return {Text.begin(), Text.end()};
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
