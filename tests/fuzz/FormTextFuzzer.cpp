// Arbitrary text loaded as form data into a component: it either loads, or it is rejected as
// malformed with the component left exactly as it was. A load is all or nothing.
#include "FuzzInput.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.Classes.FormText.hpp"
#include "System.Classes.Streaming.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using QueltFuzz::Check;
using System::UnicodeString;

// Settings away from their defaults, so that a half-done load shows in what is written back.
std::unique_ptr<Queltburner::TQueltBurner> NewBurner() {
    auto Burner = std::make_unique<Queltburner::TQueltBurner>(
        nullptr, std::make_shared<QueltTest::RecordingHost>());
    Burner->SetName(u"QueltBurner1");
    Burner->SetVolumeLabel(u"BEFORE");
    Burner->SetArtist(u"Artist");
    Burner->SetSpeed(12);
    Burner->SetContinueSession(3);
    Burner->SetVerify(true);
    Burner->SetDiskType(Queltburner::dtAudio);
    Burner->Files()->Add(u"/data/one");
    Burner->Files()->Add(u"/data/two");
    return Burner;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const UnicodeString Text = QueltFuzz::CodeUnits(Data, Size);
    const auto Burner = NewBurner();
    const UnicodeString Before = System::Classes::WriteComponentText(*Burner);
    try {
        System::Classes::ReadComponentText(Text, *Burner);
    } catch (const System::Classes::EFormTextError&) {
        Check(System::Classes::WriteComponentText(*Burner) == Before,
              "a rejected load leaves the component unchanged");
        return 0;
    }
    // What was loaded is written so that it loads again to the same settings. The writer leaves
    // out empty texts and declared defaults, so the copy starts from exactly those.
    const UnicodeString Loaded = System::Classes::WriteComponentText(*Burner);
    Queltburner::TQueltBurner Copy(nullptr, std::make_shared<QueltTest::RecordingHost>());
    Copy.SetName(Burner->Name());
    Copy.SetVolumeLabel(u"");
    System::Classes::ReadComponentText(Loaded, Copy);
    Check(System::Classes::WriteComponentText(Copy) == Loaded,
          "written form data loads back to the same settings");
    return 0;
}
