// The package as a design environment meets it: loaded by path at run time, with only the shared
// framework linked into this program.
#include "DesignEnvironment.hpp"
#include "RecordingHost.hpp"

#include "System.Classes.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace {

using Designhost::DesignEnvironment;
using Designhost::PackageExports;
using QueltTest::RecordingHost;

System::UnicodeString PackagePath() {
    return System::Sysutils::UTF8ToString(QUELT_PACKAGE_PATH);
}

bool PaletteHasClass(std::u16string_view ClassName) {
    for (const System::Classes::TPalettePage& Page : System::Classes::Palette()) {
        for (const System::Classes::TComponentClass& Class : Page.Classes) {
            if (Class.Name == ClassName) {
                return true;
            }
        }
    }
    return false;
}

TEST(PackageLoad, ExportsEveryEntryPointAndTheComponentUnitsSymbols) {
    const char* const Names[] = {
        "Initialize",
        "Finalize",
        QUELT_PACKAGE_TABLE_EXPORT,
        "_ZN15Queltburnerpack20_GetPackageInfoTableEv",
        "_ZN15Queltburnerpack12_PackageLoadEv",
        "_ZN15Queltburnerpack14_PackageUnloadEv",
        "_ZN15Queltburnerpack14initializationEPvj",
        "_ZN11Queltburner14initializationEv",
        "_ZN11Queltburner12FinalizationEv",
        "_ZN11Queltburner8RegisterEv",
        "_ZN11Queltburner12TQueltBurnerC1EPN6System7Classes10TComponentE",
        "_ZN11Queltburner12TQueltBurnerD1Ev",
        "_ZN11Queltburner12TQueltBurner4BurnEDs",
        "_ZN11Queltburner12TQueltBurner8BurnDataEDs",
        "_ZN11Queltburner12TQueltBurner9BurnAudioEDs",
        "_ZN11Queltburner12TQueltBurner9BurnVideoEDs",
        "_ZN11Queltburner12TQueltBurner14BurnSuperVideoEDs",
        "_ZN11Queltburner12TQueltBurner12BurnDVDVideoEDs",
        "_ZN11Queltburner12TQueltBurner9BurnImageENSt7__cxx1112basic_stringIDsSt11char_"
        "traitsIDsESaIDsEEEDs",
        "_ZN11Queltburner12TQueltBurner5EraseEDsb",
        "_ZN11Queltburner12TQueltBurner5EjectEDs",
        "_ZN11Queltburner12TQueltBurner8SetFilesEPN6System7Classes8TStringsE",
        // Private methods are exported like the public ones.
        "_ZN11Queltburner12TQueltBurner18GetNeroCmdLocationB5cxx11Ev",
        "_ZN11Queltburner12TQueltBurner11CutFileNameERKNSt7__cxx1112basic_stringIDsSt11char_"
        "traitsIDsESaIDsEEE",
        "_ZN11Queltburner12TQueltBurner14ExecuteAndWaitERKNSt7__cxx1112basic_stringIDsSt11char_"
        "traitsIDsESaIDsEEEi",
        "_ZN11Queltburner12TQueltBurner9BoolToIntEb",
        "_ZN11Queltburner12TQueltBurner12BoolToIntNegEb",
        "_ZTVN11Queltburner12TQueltBurnerE",
        "_ZTIN11Queltburner12TQueltBurnerE",
        "_ZTIN11Queltburner9TDiskTypeE",
        "_ZTISt8functionIFvPN6System7TObjectEiEE",
    };
    DesignEnvironment Package(PackagePath());
    for (const char* Name : Names) {
        EXPECT_NE(Package.Export(Name), nullptr) << Name;
    }
    EXPECT_EQ(Package.Export("_ZN11Queltburner12NoSuchSymbolEv"), nullptr);
}

TEST(PackageLoad, LoadingStartingStoppingAndUnloadingDoNothingVisible) {
    const auto Host = std::make_shared<RecordingHost>();
    {
        DesignEnvironment Package(PackagePath());
        Package.SetHostServices(Host);
        Package.Initialize();
        EXPECT_FALSE(PaletteHasClass(u"TQueltBurner"));
        EXPECT_FALSE(System::Classes::GetClass(u"TQueltBurner"));
        Package.Finalize();
        Package.SetHostServices(nullptr);
        EXPECT_TRUE(Package.Unload());
    }
    // Creating a component would have read the registry through the host: no call means none was.
    EXPECT_TRUE(Host->Calls.empty()) << ::testing::PrintToString(Host->CallNames());
    EXPECT_TRUE(Host->Messages.empty());
    EXPECT_TRUE(System::Classes::Palette().empty());
}

TEST(PackageLoad, RegisterPutsExactlyOneClassOnQueltSoftUntilTheLibraryIsUnloaded) {
    const auto Host = std::make_shared<RecordingHost>();
    DesignEnvironment Package(PackagePath());
    Package.Initialize();
    Package.Register();
    Package.Register(); // a second installation changes nothing

    {
        const std::vector<System::Classes::TPalettePage> Palette = System::Classes::Palette();
        ASSERT_EQ(Palette.size(), 1U);
        EXPECT_EQ(Palette[0].Name, u"Quelt Soft");
        ASSERT_EQ(Palette[0].Classes.size(), 1U);
        EXPECT_EQ(Palette[0].Classes[0].Name, u"TQueltBurner");
    }

    // The palette's class creates a working component, through the services the host set. The
    // class record holds the package's code, so it must be gone before the package is unloaded.
    Package.SetHostServices(Host);
    {
        const std::optional<System::Classes::TComponentClass> Class =
            System::Classes::GetClass(u"tqueltburner");
        ASSERT_TRUE(Class);
        const std::unique_ptr<System::Classes::TComponent> Component(Class->Create(nullptr));
        EXPECT_EQ(Component->ClassName(), u"TQueltBurner");
        ASSERT_FALSE(Host->Calls.empty());
        EXPECT_EQ(Host->CallNames().front(), "ReadUserString");
        EXPECT_TRUE(Host->Messages.empty());
    }

    Package.Finalize();
    Package.SetHostServices(nullptr);
    ASSERT_TRUE(Package.Unload());
    EXPECT_TRUE(System::Classes::Palette().empty());
    EXPECT_FALSE(System::Classes::GetClass(u"TQueltBurner"));
}

TEST(PackageLoad, UnloadingWithoutFinalizeStillTakesTheClassOffThePalette) {
    DesignEnvironment Package(PackagePath());
    Package.Initialize();
    Package.Register();
    ASSERT_TRUE(PaletteHasClass(u"TQueltBurner"));
    ASSERT_TRUE(Package.Unload());
    EXPECT_FALSE(PaletteHasClass(u"TQueltBurner"));
    EXPECT_FALSE(System::Classes::GetClass(u"TQueltBurner"));
}

TEST(PackageLoad, UnitTableHasTheComponentUnitLastButOneAndAnEmptyPackageUnitLast) {
    DesignEnvironment Package(PackagePath());
    const System::PackageInfo Table = Package.UnitTable();
    ASSERT_NE(Table, nullptr);
    EXPECT_EQ(Package.Export(QUELT_PACKAGE_TABLE_EXPORT) != nullptr, true);

    const int Count = Table->UnitCount;
    ASSERT_GE(Count, 3);
    for (int Index = 0; Index < Count - 2; ++Index) {
        EXPECT_NE(Table->UnitInfo[Index].Init, nullptr) << Index;
        EXPECT_NE(Table->UnitInfo[Index].FInit, nullptr) << Index;
    }
    const System::PackageUnitEntry& Component = Table->UnitInfo[Count - 2];
    EXPECT_EQ(reinterpret_cast<void*>(Component.Init),
              Package.Export(PackageExports::UnitInitialization));
    EXPECT_EQ(reinterpret_cast<void*>(Component.FInit),
              Package.Export(PackageExports::UnitFinalization));
    EXPECT_EQ(Table->UnitInfo[Count - 1].Init, nullptr);
    EXPECT_EQ(Table->UnitInfo[Count - 1].FInit, nullptr);

    const System::TPackageTypeInfo& Types = Table->TypeInfo;
    ASSERT_EQ(Types.TypeCount, 3);
    EXPECT_STREQ(Types.TypeTable[0]->name(), "N11Queltburner12TQueltBurnerE");
    EXPECT_STREQ(Types.TypeTable[1]->name(), "N11Queltburner9TDiskTypeE");
    EXPECT_STREQ(Types.TypeTable[2]->name(), "St8functionIFvPN6System7TObjectEiEE");
    ASSERT_EQ(Types.UnitCount, 2);
    EXPECT_STREQ(Types.UnitNames[0], "QueltBurner");
    EXPECT_STREQ(Types.UnitNames[1], "SysInit");
}

TEST(PackageLoad, ThePlainTableExportGivesTheSameTable) {
    DesignEnvironment Package(PackagePath());
    using TableFunction = System::PackageInfo();
    auto* Plain = reinterpret_cast<TableFunction*>(Package.Export(QUELT_PACKAGE_TABLE_EXPORT));
    ASSERT_NE(Plain, nullptr);
    EXPECT_EQ(Plain(), Package.UnitTable());
}

TEST(PackageLoad, DetachingAModuleFreesItsSeparateResourceLibraryOnly) {
    // The package stands in for a resource library: once it is freed, its own detach takes its
    // class off the palette.
    void* Resources = System::OpenLibrary(PackagePath());
    using RegisterFunction = void();
    reinterpret_cast<RegisterFunction*>(
        System::LibrarySymbol(Resources, PackageExports::Register))();
    ASSERT_TRUE(PaletteHasClass(u"TQueltBurner"));

    int Instance = 0;
    System::TLibModule Module;
    System::HandleLibraryNotification(Module, &Instance, System::ProcessAttach);
    EXPECT_TRUE(System::IsModuleRegistered(&Module));
    EXPECT_EQ(Module.Instance, &Instance);
    EXPECT_EQ(Module.ResInstance, &Instance);
    System::HandleLibraryNotification(Module, &Instance, System::ThreadAttach);
    EXPECT_TRUE(PaletteHasClass(u"TQueltBurner"));

    Module.ResInstance = Resources;
    System::HandleLibraryNotification(Module, &Instance, System::ProcessDetach);
    EXPECT_FALSE(System::IsModuleRegistered(&Module));
    EXPECT_FALSE(PaletteHasClass(u"TQueltBurner"));
}

TEST(PackageLoad, AMissingPackageIsAnErrorWithTheSystemsReason) {
    try {
        DesignEnvironment Package(u"no-such-folder/QueltBurnerPack.bpl");
        FAIL() << "loaded a package that does not exist";
    } catch (const System::EPackageError& Error) {
        EXPECT_GT(std::strlen(Error.what()), 0U);
    }
}

} // namespace
