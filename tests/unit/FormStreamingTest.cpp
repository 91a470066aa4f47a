// Storing and loading the component's settings as text form data, through its published-property
// metadata and the class registry.
#include "QueltBurner.hpp"
#include "ReadyBurner.hpp"
#include "System.Classes.FormText.hpp"
#include "System.Classes.Streaming.hpp"
#include "System.SysUtils.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <random>

namespace {

using Queltburner::TErrorEvent;
using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;
using System::Classes::EFormTextError;
using System::Classes::ReadComponentFromForm;
using System::Classes::ReadComponentText;
using System::Classes::TMethodTable;
using System::Classes::TNotifyEvent;
using System::Classes::WriteComponentText;

std::unique_ptr<TQueltBurner> NewBurner(const UnicodeString& Name = u"QueltBurner1") {
    auto Burner = std::make_unique<TQueltBurner>(nullptr, std::make_shared<RecordingHost>());
    Burner->SetName(Name);
    return Burner;
}

TEST(PublishedProperties, DeclaredOrderTypesAndDefaults) {
    const auto Burner = NewBurner();
    std::vector<std::string> Listed;
    for (const auto& Info : Burner->PublishedProperties()) {
        std::string Row = QueltTest::Utf8(Info.Name) + ":" + QueltTest::Utf8(Info.TypeName);
        if (Info.Default) {
            Row += "=" + std::to_string(*Info.Default);
        }
        Listed.push_back(Row);
    }
    EXPECT_EQ(
        Listed,
        (std::vector<std::string>{
            "Artist:UnicodeString",   "ContinueSession:Integer=-1", "Title:UnicodeString",
            "Files:TStrings",         "VolumeLabel:UnicodeString",  "Speed:Word",
            "DisableEject:Boolean",   "UnderrunProtection:Boolean", "DetectNonEmptyDisk:Boolean",
            "Verify:Boolean",         "SpeedTest:Boolean",          "Tao:Boolean",
            "ForceEraseDisk:Boolean", "CloseSession:Boolean",       "DVD:Boolean=0",
            "DiskType:TDiskType=0",   "Synchronous:Boolean=0",      "HideNeroCmd:Boolean=0",
            "ShowMessages:Boolean=1", "Timeout:Cardinal=0",         "OnError:TErrorEvent",
            "OnSuccess:TNotifyEvent", "OnProgress:TProgressEvent",  "OnOutput:TOutputEvent"}));
}

TEST(ClassRegistry, FormDataCreatesTheComponentByItsClassName) {
    const auto Class = System::Classes::FindClass(u"tqueltburner");
    System::Classes::TComponent Owner(nullptr);
    System::Classes::TComponent* Created = Class.Create(&Owner);
    ASSERT_NE(dynamic_cast<TQueltBurner*>(Created), nullptr);
    EXPECT_EQ(Created->Owner(), &Owner);
    EXPECT_EQ(Created->ClassName(), u"TQueltBurner");
    EXPECT_FALSE(System::Classes::GetClass(u"TNoSuchClass"));
    EXPECT_THROW(System::Classes::FindClass(u"TNoSuchClass"), System::Classes::EClassNotFound);
}

const UnicodeString NewComponentText = u"object QueltBurner1: TQueltBurner\r\n"
                                       u"  VolumeLabel = 'NEW'\r\n"
                                       u"  Speed = 4\r\n"
                                       u"  DisableEject = False\r\n"
                                       u"  UnderrunProtection = True\r\n"
                                       u"  DetectNonEmptyDisk = False\r\n"
                                       u"  Verify = False\r\n"
                                       u"  SpeedTest = False\r\n"
                                       u"  Tao = False\r\n"
                                       u"  ForceEraseDisk = False\r\n"
                                       u"  CloseSession = False\r\n"
                                       u"end\r\n";

TEST(FormStreaming, NewComponentStoresWhatTheStorageRulesStore) {
    EXPECT_EQ(WriteComponentText(*NewBurner()), NewComponentText);
}

// Every property away from its initial value, events bound by name, and the design position.
TEST(FormStreaming, EveryChangedPropertyRoundTrips) {
    TMethodTable Methods;
    int ErrorCalls = 0;
    int SuccessCalls = 0;
    Methods.Add(u"BurnerError", TErrorEvent([&](System::TObject*, int) { ++ErrorCalls; }));
    Methods.Add(u"BurnerSuccess", TNotifyEvent([&](System::TObject*) { ++SuccessCalls; }));
    const UnicodeString Text = u"object Burner: TQueltBurner\r\n"
                               u"  Artist = 'The '#39'Players'#39\r\n"
                               u"  ContinueSession = 2\r\n"
                               u"  Title = 'Live'#13#10'at home'\r\n"
                               u"  Files.Strings = (\r\n"
                               u"    'C:\\a'\r\n"
                               u"    #233't'#233)\r\n"
                               u"  VolumeLabel = ''\r\n"
                               u"  Speed = 65535\r\n"
                               u"  DisableEject = True\r\n"
                               u"  UnderrunProtection = False\r\n"
                               u"  DetectNonEmptyDisk = True\r\n"
                               u"  Verify = True\r\n"
                               u"  SpeedTest = True\r\n"
                               u"  Tao = True\r\n"
                               u"  ForceEraseDisk = True\r\n"
                               u"  CloseSession = True\r\n"
                               u"  DVD = True\r\n"
                               u"  DiskType = dtDVDVideo\r\n"
                               u"  Synchronous = True\r\n"
                               u"  HideNeroCmd = True\r\n"
                               u"  ShowMessages = False\r\n"
                               u"  OnError = BurnerError\r\n"
                               u"  OnSuccess = BurnerSuccess\r\n"
                               u"  Left = 48\r\n"
                               u"  Top = -8\r\n"
                               u"end\r\n";
    const auto Burner = NewBurner();
    ReadComponentText(Text, *Burner, Methods.Resolver());
    EXPECT_EQ(Burner->Name(), u"Burner");
    EXPECT_EQ(Burner->Artist(), u"The 'Players'");
    EXPECT_EQ(Burner->Title(), u"Live\r\nat home");
    ASSERT_EQ(Burner->Files()->Count(), 2);
    EXPECT_EQ((*Burner->Files())[1], u"\u00e9t\u00e9");
    EXPECT_EQ(Burner->VolumeLabel(), u"");
    EXPECT_EQ(Burner->Speed(), 65535);
    EXPECT_EQ(Burner->DiskType(), Queltburner::dtDVDVideo);
    EXPECT_EQ(Burner->DesignTop, -8);
    Burner->OnError()(Burner.get(), 1);
    Burner->OnSuccess()(Burner.get());
    EXPECT_EQ(ErrorCalls, 1);
    EXPECT_EQ(SuccessCalls, 1);

    // Written back: the same text, but for the empty label the storage rules leave out.
    UnicodeString Expected = Text;
    Expected.erase(Expected.find(u"  VolumeLabel = ''\r\n"), 20);
    EXPECT_EQ(WriteComponentText(*Burner), Expected);
    Burner->SetVolumeLabel(u"DISC");
    const auto Again = NewBurner();
    ReadComponentText(WriteComponentText(*Burner), *Again, Methods.Resolver());
    EXPECT_EQ(WriteComponentText(*Again), WriteComponentText(*Burner));
    // As in the framework, an empty string is not stored, so loading keeps the label it had.
    Burner->SetVolumeLabel(u"");
    ReadComponentText(WriteComponentText(*Burner), *Again, Methods.Resolver());
    EXPECT_EQ(Again->VolumeLabel(), u"DISC");
}

TEST(FormStreaming, AwkwardValuesRoundTripExactly) {
    UnicodeString Long(1000, u'x');
    for (std::size_t I = 0; I < Long.size(); I += 7) {
        Long[I] = static_cast<char16_t>(u'\'' + I % 3);
    }
    const UnicodeString Values[] = {
        u"'",
        u"''",
        u"Don't",
        u"line\r\nbreak\ttab",
        u"\u00e9\u4e2d\u20ac",
        u"\U0001F4BF disc",
        Long,
        u" padded ",
        UnicodeString(1, u'\xD800') + u"lone",
    };
    for (const UnicodeString& Value : Values) {
        const auto Burner = NewBurner();
        Burner->SetTitle(Value);
        Burner->SetVolumeLabel(Value);
        const auto Loaded = NewBurner();
        ReadComponentText(WriteComponentText(*Burner), *Loaded);
        EXPECT_EQ(Loaded->Title(), Value);
        EXPECT_EQ(Loaded->VolumeLabel(), Value);
    }
    const auto Burner = NewBurner();
    for (int I = 0; I < 10000; ++I) {
        Burner->Files()->Add(u"C:\\dir " + System::IntToStr(I) + u"\\f'" +
                             UnicodeString(1, static_cast<char16_t>(0xE0 + I % 32)));
    }
    const auto Loaded = NewBurner();
    ReadComponentText(WriteComponentText(*Burner), *Loaded);
    ASSERT_EQ(Loaded->Files()->Count(), 10000);
    for (int I = 0; I < 10000; ++I) {
        ASSERT_EQ((*Loaded->Files())[I], (*Burner->Files())[I]);
    }
}

TEST(FormStreaming, EventsSetInCodeAreNotStored) {
    TMethodTable Methods;
    Methods.Add(u"Done", TNotifyEvent([](System::TObject*) {}));
    const auto Burner = NewBurner();
    Burner->SetOnError([](System::TObject*, int) {});
    EXPECT_EQ(WriteComponentText(*Burner), NewComponentText);
    ReadComponentText(u"object QueltBurner1: TQueltBurner\n  OnSuccess = Done\nend", *Burner,
                      Methods.Resolver());
    EXPECT_NE(WriteComponentText(*Burner).find(u"  OnSuccess = Done\r\n"), UnicodeString::npos);
    Burner->SetOnSuccess([](System::TObject*) {});
    EXPECT_EQ(WriteComponentText(*Burner), NewComponentText);
}

// A whole form: the form's own block, other components, the burner's block with its events.
TEST(FormStreaming, FindsTheComponentsBlockInAWholeForm) {
    const UnicodeString Form =
        u"\ufeffobject MainForm: TMainForm\n"
        u"  Left = 0\n  Top = 0\n  Caption = 'Burn '#39'em'\n"
        u"  Font.Style = [fsBold, fsItalic]\n  ClientHeight = 1.5E2\n"
        u"  Glyph.Data = {\n    0A0B0C0D\n    0E0F}\n"
        u"  object Panel1: TPanel\n    Items = <\n      item\n        Width = 3\n      end>\n"
        u"    object Button1: TButton\n      OnClick = Button1Click\n    end\n  end\n"
        u"  inline Frame1: TFrame1\n  end\n"
        u"  object QueltBurner1: TQueltBurner\n"
        u"    Title = 'From ' +\n      'a form'\n"
        u"    Synchronous = True\n"
        u"    OnSuccess = BurnerSuccess\n"
        u"    Left = 24\n    Top = 16\n"
        u"  end\n"
        u"end\n";
    TMethodTable Methods;
    int Calls = 0;
    Methods.Add(u"BurnerSuccess", TNotifyEvent([&Calls](System::TObject*) { ++Calls; }));
    QueltTest::ReadyBurner Ready;
    ReadComponentFromForm(Form, u"QueltBurner1", *Ready.Burner, Methods.Resolver());
    EXPECT_EQ(Ready.Burner->Title(), u"From a form");
    EXPECT_EQ(Ready.Burner->DesignLeft, 24);
    EXPECT_EQ(Ready.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(Calls, 1);
    EXPECT_THROW(ReadComponentFromForm(Form, u"QueltBurner2", *Ready.Burner), EFormTextError);
    EXPECT_THROW(ReadComponentFromForm(Form, u"Button1", *Ready.Burner),
                 EFormTextError); // a TButton
}

TEST(FormStreaming, BadInputChangesNothingAndNamesTheLine) {
    TMethodTable Methods;
    Methods.Add(u"Notify", TNotifyEvent([](System::TObject*) {}));
    const struct {
        std::u16string_view Line3; // what stands on line 3 of the block
        const char* Says;
    } Rows[] = {
        {u"  Speed = 70000", "line 3: Speed: 70000 is out of range 0..65535"},
        {u"  Speed = -1", "line 3: Speed"},
        {u"  Speed = '4'", "line 3: Speed"},
        {u"  ContinueSession = 2147483648", "line 3: ContinueSession"},
        {u"  DiskType = dtFoo", "line 3: DiskType: dtFoo is not a TDiskType value"},
        {u"  DiskType = 2", "line 3: DiskType"},
        {u"  Tao = Yes", "line 3: Tao"},
        {u"  Title = 42", "line 3: Title"},
        {u"  Files.Strings = ('a' 1)", "line 3: Files"},
        {u"  Files = ('a')", "line 3: Files"},
        {u"  Colour = clRed", "line 3: Colour"},
        {u"  OnError = Missing", "line 3: OnError: no method named Missing"},
        {u"  OnError = Notify", "line 3: OnError"},
        {u"  Left = 'x'", "line 3: Left"},
        {u"  Title = 'unterminated", "line 3"},
        {u"  = 4", "line 3"},
    };
    for (const auto& Row : Rows) {
        const auto Burner = NewBurner();
        Burner->SetTitle(u"kept");
        Burner->Files()->Add(u"kept");
        const UnicodeString Before = WriteComponentText(*Burner);
        const UnicodeString Text = u"object Other: TQueltBurner\r\n  Artist = 'changed first'\r\n" +
                                   UnicodeString(Row.Line3) + u"\r\n  Verify = True\r\nend\r\n";
        try {
            ReadComponentText(Text, *Burner, Methods.Resolver());
            ADD_FAILURE() << "accepted: " << QueltTest::Utf8(Row.Line3);
        } catch (const EFormTextError& Error) {
            EXPECT_EQ(Error.Line(), 3) << Error.what();
            EXPECT_NE(std::string(Error.what()).find(Row.Says), std::string::npos) << Error.what();
        }
        EXPECT_EQ(WriteComponentText(*Burner), Before) << QueltTest::Utf8(Row.Line3);
    }
    const auto Burner = NewBurner();
    EXPECT_THROW(ReadComponentText(u"object X: TButton\nend\n", *Burner), EFormTextError);
    EXPECT_EQ(Burner->Name(), u"QueltBurner1");
}

// Random damage to a valid form: it loads whole or not at all, and never crashes.
TEST(FormStreaming, MutatedFormsLoadWholeOrNotAtAll) {
    const auto Source = NewBurner();
    Source->SetTitle(u"A 'title' with\ttabs and \u00e9");
    Source->Files()->Add(u"C:\\one");
    Source->Files()->Add(u"C:\\two");
    Source->SetDiskType(Queltburner::dtAudio);
    Source->DesignLeft = 10;
    const UnicodeString Valid = WriteComponentText(*Source);
    const char16_t Noise[] = {u'\'', u'#', u'(', u')', u'=', u'+', u'\n',
                              u' ',  u'9', u'x', u'[', u'{', u'<', u'\0'};
    std::mt19937 Random(12345);
    int Loaded = 0;
    for (int Round = 0; Round < 3000; ++Round) {
        UnicodeString Text = Valid;
        const int Edits = 1 + static_cast<int>(Random() % 4);
        for (int E = 0; E < Edits && !Text.empty(); ++E) {
            const std::size_t At = Random() % Text.size();
            switch (Random() % 3) {
            case 0:
                Text.erase(At, 1 + Random() % 8);
                break;
            case 1:
                Text.insert(At, 1, Noise[Random() % std::size(Noise)]);
                break;
            default:
                Text[At] = Noise[Random() % std::size(Noise)];
                break;
            }
        }
        const auto Burner = NewBurner();
        const UnicodeString Before = WriteComponentText(*Burner);
        try {
            ReadComponentText(Text, *Burner);
            ++Loaded;
        } catch (const EFormTextError&) {
            ASSERT_EQ(WriteComponentText(*Burner), Before) << QueltTest::Utf8(Text);
        }
    }
    EXPECT_GT(Loaded, 0);
}

} // namespace
