// A new component's settings, its file list and its place among owned components.
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::Classes::TStringList;

TEST(Component, StartsWithItsInitialValues) {
    auto Host = std::make_shared<RecordingHost>();
    const TQueltBurner Burner(nullptr, Host);
    EXPECT_DOUBLE_EQ(Burner.Version(), 1.78);
    EXPECT_EQ(Burner.Speed(), 4);
    EXPECT_EQ(Burner.VolumeLabel(), u"NEW");
    EXPECT_TRUE(Burner.UnderrunProtection());
    EXPECT_TRUE(Burner.ShowMessages());
    EXPECT_EQ(Burner.ContinueSession(), -1);
    EXPECT_EQ(Burner.DiskType(), Queltburner::dtData);
    EXPECT_TRUE(Burner.Artist().empty());
    EXPECT_TRUE(Burner.Title().empty());
    EXPECT_EQ(Burner.Files()->Count(), 0);
    EXPECT_FALSE(Burner.OnError());
    EXPECT_FALSE(Burner.OnSuccess());
    for (const bool Flag :
         {Burner.DisableEject(), Burner.DetectNonEmptyDisk(), Burner.Verify(), Burner.SpeedTest(),
          Burner.Tao(), Burner.ForceEraseDisk(), Burner.CloseSession(), Burner.DVD(),
          Burner.Synchronous(), Burner.HideNeroCmd()}) {
        EXPECT_FALSE(Flag);
    }
    EXPECT_TRUE(Burner.NeroCmdLocation.empty());
}

TEST(Component, SetFilesCopiesAndNeverKeepsTheGivenList) {
    auto Host = std::make_shared<RecordingHost>();
    TQueltBurner Burner(nullptr, Host);
    System::Classes::TStrings* const Owned = Burner.Files();
    {
        TStringList Source;
        Source.Add(u"a");
        Source.Add(u"b");
        Source.Add(u"a");
        Burner.SetFiles(&Source);
        Source.SetStrings(0, u"changed");
        Source.Add(u"extra");
    } // the caller's list is gone; the component's entries must not be
    ASSERT_EQ(Burner.Files()->Count(), 3);
    EXPECT_EQ((*Burner.Files())[0], u"a");
    EXPECT_EQ((*Burner.Files())[2], u"a");

    Burner.SetFiles(nullptr);
    EXPECT_EQ(Burner.Files()->Count(), 3);
    Burner.SetFiles(Burner.Files()); // assigning the list to itself keeps it
    EXPECT_EQ(Burner.Files()->Count(), 3);

    TStringList Empty;
    Burner.SetFiles(&Empty);
    EXPECT_EQ(Burner.Files()->Count(), 0);
    EXPECT_EQ(Burner.Files(), Owned); // the same list object for the component's whole life
}

TEST(Component, OwnerDestroysTheComponent) {
    auto Host = std::make_shared<RecordingHost>();
    auto* Owner = new System::Classes::TComponent(nullptr);
    auto* Burner = new TQueltBurner(Owner, Host);
    Burner->Files()->Add(u"x");
    ASSERT_EQ(Owner->ComponentCount(), 1);
    EXPECT_EQ(Owner->Components(0), Burner);
    delete Owner; // the sanitizer build sees a leak or a double free here if ownership is wrong
    EXPECT_EQ(Host.use_count(), 1);
}

TEST(Component, DefaultHostServicesReachComponentsCreatedWithoutOne) {
    auto Host = std::make_shared<RecordingHost>();
    Host->Registry = {Queltburner::RegistryValueKind::Text, u"X"};
    Queltburner::SetDefaultHostServices(Host);
    {
        const TQueltBurner Burner(nullptr);
        const TQueltBurner Other(nullptr, nullptr);
    }
    Queltburner::SetDefaultHostServices(nullptr);
    EXPECT_EQ(Host->CallNames(), (std::vector<std::string>{"ReadUserString", "FileExists",
                                                           "ReadUserString", "FileExists"}));
    EXPECT_EQ(Queltburner::DefaultHostServices(), Queltburner::PlatformHostServices());
}

TEST(Component, OperationsChangeNoSetting) {
    auto Host = std::make_shared<RecordingHost>();
    Host->MakeReady(u'E', u"NeroCmd.exe");
    Host->Files.insert(u"f");
    TQueltBurner Burner(nullptr, Host);
    Burner.NeroCmdLocation = u"NeroCmd.exe";
    Burner.SetArtist(u"  A  ");
    Burner.SetTitle(u" T ");
    Burner.SetVolumeLabel(u" L ");
    Burner.SetSynchronous(true);
    Burner.Files()->Add(u"f");
    Burner.Files()->Add(u"missing");
    ASSERT_EQ(Burner.BurnData(u'E'), 0);
    EXPECT_EQ(Burner.Artist(), u"  A  ");
    EXPECT_EQ(Burner.Title(), u" T ");
    EXPECT_EQ(Burner.VolumeLabel(), u" L ");
    EXPECT_EQ(Burner.NeroCmdLocation, u"NeroCmd.exe");
    EXPECT_EQ(Burner.Files()->Count(), 2);
}

} // namespace
