// The runtime's side of packages: the unit-table load and unload routines, the palette, and
// forgetting a module's classes.
#include "QueltBurner.hpp"
#include "Registration.hpp"
#include "System.Classes.hpp"
#include "System.Packages.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using System::PackageInfoTable;
using System::PackageUnitEntry;
using System::Classes::TComponent;
using System::Classes::TComponentClass;

// What the unit procedures below did, in order: "+1" is unit 1 started, "-1" unit 1 stopped.
std::vector<std::string> Trace;
int ThrowingUnit = -1;

template <int Unit>
void Start() {
    if (Unit == ThrowingUnit) {
        throw std::runtime_error("unit " + std::to_string(Unit) + " cannot start");
    }
    Trace.push_back("+" + std::to_string(Unit));
}
template <int Unit>
void Stop() {
    Trace.push_back("-" + std::to_string(Unit));
}

// Four units; the third has no start-up, the last (the package's own) neither start-up nor
// shut-down.
const PackageUnitEntry Units[] = {
    {&Start<0>, &Stop<0>}, {&Start<1>, &Stop<1>}, {nullptr, &Stop<2>}, {nullptr, nullptr}};
const PackageInfoTable Table{4, Units, {}};

class PackageLoadRoutine : public ::testing::Test {
protected:
    void SetUp() override {
        Trace.clear();
        ThrowingUnit = -1;
    }
    System::TLibModule Module;
};

TEST_F(PackageLoadRoutine, StartsInTableOrderAndStopsInReverse) {
    System::PackageLoad(&Table, &Module);
    System::PackageUnload(&Table, &Module);
    EXPECT_EQ(Trace, (std::vector<std::string>{"+0", "+1", "-2", "-1", "-0"}));
}

TEST_F(PackageLoadRoutine, UnloadWithoutALoadStopsNothing) {
    System::PackageUnload(&Table, &Module);
    System::PackageLoad(&Table, &Module);
    System::PackageUnload(&Table, &Module);
    System::PackageUnload(&Table, &Module);
    EXPECT_EQ(Trace, (std::vector<std::string>{"+0", "+1", "-2", "-1", "-0"}));
}

TEST_F(PackageLoadRoutine, EachLoadNeedsItsOwnUnload) {
    System::PackageLoad(&Table, &Module);
    System::PackageLoad(&Table, &Module);
    System::PackageUnload(&Table, &Module);
    System::PackageUnload(&Table, &Module);
    EXPECT_EQ(Trace, (std::vector<std::string>{"+0", "+1", "+0", "+1", "-2", "-1", "-0", "-2", "-1",
                                               "-0"}));
}

TEST_F(PackageLoadRoutine, AUnitThatFailsToStartStopsTheOnesBeforeItAndCountsNoLoad) {
    ThrowingUnit = 1;
    EXPECT_THROW(System::PackageLoad(&Table, &Module), std::runtime_error);
    EXPECT_EQ(Trace, (std::vector<std::string>{"+0", "-0"}));
    System::PackageUnload(&Table, &Module); // nothing was loaded
    EXPECT_EQ(Trace.size(), 2U);
}

TEST_F(PackageLoadRoutine, NullTableIsIgnored) {
    System::PackageLoad(nullptr, &Module);
    System::PackageUnload(nullptr, &Module);
    EXPECT_TRUE(Trace.empty());
}

TEST(UnitEntryCount, StartsOnTheFirstEntryAndStopsOnTheLastLeave) {
    System::TUnitEntryCount Count;
    EXPECT_FALSE(Count.Leave()); // a leave without an entry changes nothing
    EXPECT_TRUE(Count.Enter());
    EXPECT_FALSE(Count.Enter());
    EXPECT_FALSE(Count.Leave());
    EXPECT_TRUE(Count.Leave());
    EXPECT_EQ(Count.Value(), 0);
}

TEST(ModuleRecords, RegisteredOnceAndForgotten) {
    System::TLibModule Module;
    EXPECT_FALSE(System::IsModuleRegistered(&Module));
    System::RegisterModule(&Module);
    System::RegisterModule(&Module);
    EXPECT_TRUE(System::IsModuleRegistered(&Module));
    System::UnregisterModule(&Module);
    EXPECT_FALSE(System::IsModuleRegistered(&Module));
}

TComponent* CreatePlain(TComponent* Owner) {
    return new TComponent(Owner);
}

TComponentClass Plain(const char16_t* Name, const void* Home = nullptr) {
    return {Name, &CreatePlain, Home};
}

std::vector<std::u16string> ClassesOn(std::u16string_view PageName) {
    std::vector<std::u16string> Names;
    for (const System::Classes::TPalettePage& Page : System::Classes::Palette()) {
        if (Page.Name == PageName) {
            for (const TComponentClass& Class : Page.Classes) {
                Names.push_back(Class.Name);
            }
        }
    }
    return Names;
}

TEST(Palette, RegisterComponentsPlacesEachClassOnceAndRegistersItByName) {
    System::Classes::RegisterComponents(u"Test Page A",
                                        {Plain(u"TPaletteOne"), Plain(u"TPaletteTwo")});
    EXPECT_EQ(ClassesOn(u"Test Page A"),
              (std::vector<std::u16string>{u"TPaletteOne", u"TPaletteTwo"}));
    const auto Found = System::Classes::GetClass(u"tpalettetwo");
    ASSERT_TRUE(Found);
    delete Found->Create(nullptr);

    // Registering a class again moves it; a page left empty disappears.
    System::Classes::RegisterComponents(u"Test Page B",
                                        {Plain(u"TPaletteOne"), Plain(u"TPaletteOne")});
    System::Classes::RegisterComponents(u"Test Page B", {Plain(u"TPaletteTwo")});
    EXPECT_TRUE(ClassesOn(u"Test Page A").empty());
    EXPECT_EQ(ClassesOn(u"Test Page B"),
              (std::vector<std::u16string>{u"TPaletteOne", u"TPaletteTwo"}));
    for (const auto& Page : System::Classes::Palette()) {
        EXPECT_NE(Page.Name, u"Test Page A");
    }
}

TEST(Palette, IncompleteRequestsRegisterNothing) {
    struct Case {
        const char16_t* Page;
        TComponentClass Class;
    };
    const Case Cases[] = {
        {u"", Plain(u"TPaletteRejected")},
        {u"Test Page C", TComponentClass{u"", &CreatePlain}},
        {u"Test Page C", TComponentClass{u"TPaletteRejected", nullptr}},
    };
    for (const Case& Row : Cases) {
        EXPECT_THROW(
            System::Classes::RegisterComponents(Row.Page, {Plain(u"TPaletteFirst"), Row.Class}),
            std::invalid_argument);
    }
    EXPECT_FALSE(System::Classes::GetClass(u"TPaletteFirst"));
    EXPECT_TRUE(ClassesOn(u"Test Page C").empty());
}

TEST(Palette, RegisterPutsTheComponentOnQueltSoft) {
    Queltburner::Register();
    EXPECT_EQ(ClassesOn(u"Quelt Soft"), std::vector<std::u16string>{u"TQueltBurner"});
    ASSERT_TRUE(System::Classes::GetClass(u"TQueltBurner"));
}

TEST(Palette, UnloadingAModuleForgetsExactlyTheClassesWhoseCodeItHolds) {
    const void* ThisProgram = System::ModuleOfAddress(reinterpret_cast<const void*>(&CreatePlain));
    ASSERT_NE(ThisProgram, nullptr);
    EXPECT_EQ(System::ModuleOfAddress(reinterpret_cast<const void*>(&Plain)), ThisProgram);
    EXPECT_EQ(System::ModuleOfAddress(nullptr), nullptr);

    System::Classes::RegisterComponents(
        u"Test Page D", {Plain(u"TPaletteHomed", reinterpret_cast<const void*>(&CreatePlain)),
                         Plain(u"TPaletteStays")});
    System::Classes::UnregisterModuleClasses(ThisProgram);
    EXPECT_EQ(ClassesOn(u"Test Page D"), std::vector<std::u16string>{u"TPaletteStays"});
    EXPECT_FALSE(System::Classes::GetClass(u"TPaletteHomed"));
    EXPECT_TRUE(System::Classes::GetClass(u"TPaletteStays"));

    // This program's own TQueltBurner went with it; other tests rely on finding it by name.
    System::Classes::RegisterClass(Queltburner::QueltBurnerClass());
    EXPECT_TRUE(System::Classes::GetClass(u"TQueltBurner"));
}

} // namespace
