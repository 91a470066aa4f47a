#include "CompositionModel.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace CompositionFuzz {

UnicodeString Decimal(std::int64_t Value) {
    const std::string Text = std::to_string(Value);
    return {Text.begin(), Text.end()};
}

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

bool HoldsNul(const std::vector<UnicodeString>& Argv) {
    for (const UnicodeString& Item : Argv) {
        if (Item.find(u'\0') != UnicodeString::npos) {
            return true;
        }
    }
    return false;
}

} // namespace CompositionFuzz
