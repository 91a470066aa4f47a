// The framework's component base with owner-managed lifetime, its string lists and its plain
// notification event.
#pragma once

#include "System.TypInfo.hpp"
#include "System.hpp"

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace System::Classes {

using TNotifyEvent = std::function<void(System::TObject* Sender)>;

// A component optionally has an owner. An owner destroys the components it owns when it is
// destroyed, the most recently added first; a component destroyed first leaves its owner's list.
class TComponent : public System::TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* Owner() const noexcept { return FOwner; }
    int ComponentCount() const noexcept;
    TComponent* Components(int Index) const;

    // The name that form data gives the component (QueltBurner1).
    const UnicodeString& Name() const noexcept { return FName; }
    void SetName(const UnicodeString& Value) { FName = Value; }

    // The class's name as form data names it, and its published properties in declared order.
    virtual UnicodeString ClassName() const;
    virtual const Typinfo::TPropList& PublishedProperties() const;

    // Where a design surface placed a non-visual component; form data stores it as Left and Top.
    std::optional<std::int32_t> DesignLeft;
    std::optional<std::int32_t> DesignTop;

    // The method name an event was bound to by form data; empty for a handler assigned in code.
    UnicodeString MethodName(std::u16string_view EventName) const;
    void SetMethodName(std::u16string_view EventName, const UnicodeString& Method);

protected:
    // An event set in code is no longer the method form data named.
    void ForgetMethodName(std::u16string_view EventName) noexcept;

private:
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent) noexcept;

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    UnicodeString FName;
    std::map<UnicodeString, UnicodeString, std::less<>> FMethodNames;
};

// The class registry: form data names a class, the registry creates it.
using TComponentFactory = std::function<TComponent*(TComponent* AOwner)>;

struct TComponentClass {
    UnicodeString Name;
    TComponentFactory Create;
    // An address in the code that defines the class. When the module holding it is unloaded, the
    // class leaves the class registry and the palette. Null: the class stays for the whole run.
    const void* Home = nullptr;
};

class EClassNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Registers (or replaces) the class of that name. Safe from any thread.
void RegisterClass(const UnicodeString& Name, TComponentFactory Factory);
void RegisterClass(const TComponentClass& Class);
// The registered class of that name (ASCII case ignored); GetClass gives null, FindClass throws.
std::optional<TComponentClass> GetClass(std::u16string_view Name);
TComponentClass FindClass(std::u16string_view Name);

// The design environment's component palette: pages in the order they were first named, each with
// its classes in the order they were registered.
struct TPalettePage {
    UnicodeString Name;
    std::vector<TComponentClass> Classes;
};

// Puts each class on the page (once: a class already on the palette moves there) and registers it
// by name. Throws std::invalid_argument for an empty page name or a class without a name or a
// factory, before anything is registered.
void RegisterComponents(const UnicodeString& Page,
                        const std::vector<TComponentClass>& ComponentClasses);
// A copy of the palette as it stands. A class record copied from a package holds the package's
// code: drop such copies before the package is unloaded.
std::vector<TPalettePage> Palette();
// Drops every registered class and palette entry whose Home lies in the module at that base
// address.
void UnregisterModuleClasses(const void* ModuleInstance);

// Raised for an index outside the list.
class EStringListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// An ordered list of strings. Indexes run from 0 to Count() - 1.
class TStrings : public System::TObject {
public:
    virtual int Count() const = 0;
    virtual const UnicodeString& Strings(int Index) const = 0;
    virtual void SetStrings(int Index, const UnicodeString& S) = 0;
    virtual int Add(const UnicodeString& S) = 0;
    virtual void Insert(int Index, const UnicodeString& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;

    const UnicodeString& operator[](int Index) const { return Strings(Index); }
    // Index of the first entry equal to S, or -1.
    int IndexOf(const UnicodeString& S) const;
    // Replaces the entries by a copy of Source's, in order. Nil and the list itself change nothing.
    virtual void Assign(const TStrings* Source);
};

// The framework's default list: unsorted, duplicates kept, entries in the order they are added.
class TStringList : public TStrings {
public:
    TStringList() = default;

    int Count() const override;
    const UnicodeString& Strings(int Index) const override;
    void SetStrings(int Index, const UnicodeString& S) override;
    int Add(const UnicodeString& S) override;
    void Insert(int Index, const UnicodeString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Assign(const TStrings* Source) override;

private:
    std::size_t CheckedIndex(int Index, std::size_t Limit) const;

    std::vector<UnicodeString> FItems;
};

// The start-up and shut-down of this unit; they only count how often the unit was entered.
void initialization();
void Finalization();

} // namespace System::Classes
