#include "System.Classes.hpp"

#include <algorithm>
#include <limits>
#include <string>

namespace System::Classes {

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner != nullptr) {
        AOwner->InsertComponent(this);
    }
}

TComponent::~TComponent() {
    // Owned components go first, newest first, each leaving this list as it is destroyed.
    while (!FComponents.empty()) {
        delete FComponents.back();
    }
    if (FOwner != nullptr) {
        FOwner->RemoveComponent(this);
    }
}

int TComponent::ComponentCount() const noexcept {
    return static_cast<int>(FComponents.size());
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || static_cast<std::size_t>(Index) >= FComponents.size()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
    }
    return FComponents[static_cast<std::size_t>(Index)];
}

void TComponent::InsertComponent(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* AComponent) noexcept {
    const auto Found = std::find(FComponents.rbegin(), FComponents.rend(), AComponent);
    if (Found != FComponents.rend()) {
        FComponents.erase(std::next(Found).base());
    }
    AComponent->FOwner = nullptr;
}

int TStrings::IndexOf(const UnicodeString& S) const {
    const int N = Count();
    for (int I = 0; I < N; ++I) {
        if (Strings(I) == S) {
            return I;
        }
    }
    return -1;
}

void TStrings::Assign(const TStrings* Source) {
    // Assigning a list to itself would clear it before the copy; it changes nothing instead.
    if (Source == nullptr || Source == this) {
        return;
    }
    Clear();
    const int N = Source->Count();
    for (int I = 0; I < N; ++I) {
        Add(Source->Strings(I));
    }
}

std::size_t TStringList::CheckedIndex(int Index, std::size_t Limit) const {
    if (Index < 0 || static_cast<std::size_t>(Index) >= Limit) {
        throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
    }
    return static_cast<std::size_t>(Index);
}

int TStringList::Count() const {
    return static_cast<int>(FItems.size());
}

const UnicodeString& TStringList::Strings(int Index) const {
    return FItems[CheckedIndex(Index, FItems.size())];
}

void TStringList::SetStrings(int Index, const UnicodeString& S) {
    FItems[CheckedIndex(Index, FItems.size())] = S;
}

int TStringList::Add(const UnicodeString& S) {
    if (FItems.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw EStringListError("List capacity exceeded");
    }
    FItems.push_back(S);
    return static_cast<int>(FItems.size() - 1);
}

void TStringList::Insert(int Index, const UnicodeString& S) {
    const std::size_t At = CheckedIndex(Index, FItems.size() + 1);
    if (FItems.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw EStringListError("List capacity exceeded");
    }
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(At), S);
}

void TStringList::Delete(int Index) {
    FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(CheckedIndex(Index, FItems.size())));
}

void TStringList::Clear() {
    FItems.clear();
}

void TStringList::Assign(const TStrings* Source) {
    if (Source == nullptr || Source == this) {
        return;
    }
    // Copy first, then swap: an exception while copying leaves the list as it was.
    std::vector<UnicodeString> Copy;
    const int N = Source->Count();
    Copy.reserve(static_cast<std::size_t>(N));
    for (int I = 0; I < N; ++I) {
        Copy.push_back(Source->Strings(I));
    }
    FItems.swap(Copy);
}

} // namespace System::Classes

namespace System::Classes {

UnicodeString TComponent::ClassName() const {
    return u"TComponent";
}

const Typinfo::TPropList& TComponent::PublishedProperties() const {
    static const Typinfo::TPropList None;
    return None;
}

UnicodeString TComponent::MethodName(std::u16string_view EventName) const {
    const auto Found = FMethodNames.find(EventName);
    return Found == FMethodNames.end() ? UnicodeString() : Found->second;
}

void TComponent::SetMethodName(std::u16string_view EventName, const UnicodeString& Method) {
    FMethodNames[UnicodeString(EventName)] = Method;
}

void TComponent::ForgetMethodName(std::u16string_view EventName) noexcept {
    const auto Found = FMethodNames.find(EventName);
    if (Found != FMethodNames.end()) {
        FMethodNames.erase(Found);
    }
}

} // namespace System::Classes
