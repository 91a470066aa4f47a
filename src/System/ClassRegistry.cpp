// The class registry and the component palette. Each entry remembers the module its class lives
// in, found once when it is registered, so that unloading a package removes exactly its classes.
#include "System.Classes.hpp"
#include "System.Packages.hpp"

#include <algorithm>
#include <mutex>
#include <string>

namespace System::Classes {

namespace {

struct RegisteredClass {
    TComponentClass Class;
    void* Module = nullptr; // null: the class stays for the whole run
};

struct PageEntries {
    UnicodeString Name;
    std::vector<RegisteredClass> Classes;
};

struct Registries {
    std::mutex Mutex;
    std::vector<RegisteredClass> Classes;
    std::vector<PageEntries> Pages;
};

// Never destroyed: a package's shut-down at process exit may still unregister its classes after
// this library's own static objects are gone. The registry asks the module list to be told of
// every module that goes away, before it can hold any entry from one.
Registries& State() {
    static auto* const Instance = [] {
        AddModuleUnloadHandler(&UnregisterModuleClasses);
        return new Registries();
    }();
    return *Instance;
}

RegisteredClass Resolved(const TComponentClass& Class) {
    return {Class, Class.Home != nullptr ? System::ModuleOfAddress(Class.Home) : nullptr};
}

void RegisterLocked(Registries& Reg, const RegisteredClass& Entry) {
    for (RegisteredClass& Known : Reg.Classes) {
        if (Typinfo::SameIdentifier(Known.Class.Name, Entry.Class.Name)) {
            Known = Entry;
            return;
        }
    }
    Reg.Classes.push_back(Entry);
}

void DropEmptyPages(Registries& Reg) {
    std::erase_if(Reg.Pages, [](const PageEntries& Page) { return Page.Classes.empty(); });
}

bool IsComplete(const TComponentClass& Class) {
    return !Class.Name.empty() && static_cast<bool>(Class.Create);
}

} // namespace

void RegisterClass(const UnicodeString& Name, TComponentFactory Factory) {
    RegisterClass(TComponentClass{Name, std::move(Factory)});
}

void RegisterClass(const TComponentClass& Class) {
    const RegisteredClass Entry = Resolved(Class);
    Registries& Reg = State();
    const std::lock_guard Lock(Reg.Mutex);
    RegisterLocked(Reg, Entry);
}

std::optional<TComponentClass> GetClass(std::u16string_view Name) {
    Registries& Reg = State();
    const std::lock_guard Lock(Reg.Mutex);
    for (const RegisteredClass& Known : Reg.Classes) {
        if (Typinfo::SameIdentifier(Known.Class.Name, Name)) {
            return Known.Class;
        }
    }
    return std::nullopt;
}

TComponentClass FindClass(std::u16string_view Name) {
    if (std::optional<TComponentClass> Class = GetClass(Name)) {
        return *std::move(Class);
    }
    std::string Narrow;
    for (const char16_t C : Name) {
        Narrow.push_back(C < 0x80 ? static_cast<char>(C) : '?');
    }
    throw EClassNotFound("Class " + Narrow + " not found");
}

void RegisterComponents(const UnicodeString& Page,
                        const std::vector<TComponentClass>& ComponentClasses) {
    if (Page.empty()) {
        throw std::invalid_argument("RegisterComponents: the palette page has no name");
    }
    if (!std::all_of(ComponentClasses.begin(), ComponentClasses.end(), IsComplete)) {
        throw std::invalid_argument("RegisterComponents: a class has no name or no factory");
    }
    std::vector<RegisteredClass> Entries;
    std::transform(ComponentClasses.begin(), ComponentClasses.end(), std::back_inserter(Entries),
                   Resolved);

    Registries& Reg = State();
    const std::lock_guard Lock(Reg.Mutex);
    auto Target = std::find_if(Reg.Pages.begin(), Reg.Pages.end(),
                               [&](const PageEntries& Known) { return Known.Name == Page; });
    if (Target == Reg.Pages.end()) {
        Target = Reg.Pages.insert(Reg.Pages.end(), PageEntries{Page, {}});
    }
    for (const RegisteredClass& Entry : Entries) {
        // A class stands once on the whole palette: registering it again moves it here.
        for (PageEntries& Known : Reg.Pages) {
            std::erase_if(Known.Classes, [&](const RegisteredClass& Placed) {
                return Typinfo::SameIdentifier(Placed.Class.Name, Entry.Class.Name);
            });
        }
        Target->Classes.push_back(Entry);
        RegisterLocked(Reg, Entry);
    }
    DropEmptyPages(Reg);
}

std::vector<TPalettePage> Palette() {
    Registries& Reg = State();
    const std::lock_guard Lock(Reg.Mutex);
    std::vector<TPalettePage> Copy;
    for (const PageEntries& Page : Reg.Pages) {
        TPalettePage& Out = Copy.emplace_back(TPalettePage{Page.Name, {}});
        for (const RegisteredClass& Entry : Page.Classes) {
            Out.Classes.push_back(Entry.Class);
        }
    }
    return Copy;
}

void UnregisterModuleClasses(const void* ModuleInstance) {
    if (ModuleInstance == nullptr) {
        return;
    }
    const auto InModule = [ModuleInstance](const RegisteredClass& Entry) {
        return Entry.Module == ModuleInstance;
    };
    Registries& Reg = State();
    const std::lock_guard Lock(Reg.Mutex);
    std::erase_if(Reg.Classes, InModule);
    for (PageEntries& Page : Reg.Pages) {
        std::erase_if(Page.Classes, InModule);
    }
    DropEmptyPages(Reg);
}

} // namespace System::Classes
