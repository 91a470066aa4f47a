// What the composition fuzzer is made of: random settings decoded from the input and applied to
// the component, one operation run, and the argv the tool must see, built from the settings by the
// tool's own option table.
#pragma once

#include "FuzzInput.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace CompositionFuzz {

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

UnicodeString Decimal(std::int64_t Value);
// Written here rather than taken from the library, so that a fault there cannot hide itself.
UnicodeString Trimmed(const UnicodeString& Value);
bool IsAsciiLetter(char16_t C);

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

char16_t DecodeDrive(QueltFuzz::FuzzInput& In);
Settings Decode(QueltFuzz::FuzzInput& In, QueltTest::RecordingHost& Host);
void Apply(const Settings& S, Queltburner::TQueltBurner& Burner);
int Run(const Settings& S, Queltburner::TQueltBurner& Burner);

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

bool HoldsNul(const std::vector<UnicodeString>& Argv);

} // namespace CompositionFuzz
