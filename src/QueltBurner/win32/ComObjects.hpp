// Owners for what a COM client borrows from the system: the thread's apartment, an interface
// reference, a VARIANT (and the BSTR or SAFEARRAY it holds), and late-bound calls through
// IDispatch, so that every way out of a query gives all of them back.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace Queltburner::Win32 {

// COM on the calling thread for the life of the object. The thread may be an application's
// single-threaded apartment already (RPC_E_CHANGED_MODE): COM is usable as it is, and that
// initialisation is the application's to end, not ours.
class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ComApartment(ComApartment&&) = delete;
    ComApartment& operator=(ComApartment&&) = delete;
    ~ComApartment();
    bool Usable() const { return FUsable; }
    HRESULT Result() const { return FResult; }

private:
    HRESULT FResult;
    bool FUsable;
    bool FOwned;
};

// One reference to an interface, released with the object.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& Other) noexcept : FPointer(Other.FPointer) { Other.FPointer = nullptr; }
    ComRef& operator=(ComRef&& Other) noexcept {
        if (this != &Other) {
            Reset();
            FPointer = Other.FPointer;
            Other.FPointer = nullptr;
        }
        return *this;
    }
    ~ComRef() { Reset(); }
    Interface* Get() const { return FPointer; }
    explicit operator bool() const { return FPointer != nullptr; }
    // Where a call that hands out a reference puts it; the one held before is released first.
    Interface** Receive() {
        Reset();
        return &FPointer;
    }
    void Reset() {
        if (FPointer != nullptr) {
            FPointer->Release();
            FPointer = nullptr;
        }
    }

private:
    Interface* FPointer = nullptr;
};

// A VARIANT that clears itself: the BSTR, SAFEARRAY or interface it holds goes with it.
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&FValue); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    OwnedVariant(OwnedVariant&&) = delete;
    OwnedVariant& operator=(OwnedVariant&&) = delete;
    ~OwnedVariant() { VariantClear(&FValue); }
    VARIANT* Get() { return &FValue; }
    const VARIANT* Get() const { return &FValue; }

private:
    VARIANT FValue{};
};

// An object reached by name through IDispatch, as a script reaches it: no interface layout of
// its own is assumed, and a name the object does not know is an error result, never a call
// through a wrong table.
class DispatchObject {
public:
    // Creates the object registered under ProgId; the result says why when it cannot.
    HRESULT Create(const wchar_t* ProgId);
    IDispatch* Get() const { return FObject.Get(); }

    // A property's value, or a method's result; Arguments are given in their written order and
    // are only read.
    HRESULT Read(const wchar_t* Name, VARIANT& Result,
                 std::initializer_list<VARIANT> Arguments = {}) const;
    HRESULT Write(const wchar_t* Name, VARIANT Value) const;
    HRESULT ReadLong(const wchar_t* Name, LONG& Value) const;
    HRESULT ReadBool(const wchar_t* Name, bool& Value) const;

private:
    HRESULT Invoke(const wchar_t* Name, WORD Flags, DISPPARAMS& Parameters, VARIANT* Result) const;

    ComRef<IDispatch> FObject;
};

// Arguments for DispatchObject calls, borrowed: they are never cleared.
VARIANT LongArgument(LONG Value);
VARIANT TextArgument(BSTR Value);
VARIANT ObjectArgument(IDispatch* Value);

// Each element of a VARIANT array (VT_ARRAY | VT_VARIANT), as a VARIANT of its own that the
// visitor only reads; the number of elements, or -1 when Value holds no such array.
template <typename Visitor>
LONG ForEachElement(const VARIANT& Value, Visitor&& Visit) {
    if (Value.vt != (VT_ARRAY | VT_VARIANT) || Value.parray == nullptr ||
        SafeArrayGetDim(Value.parray) != 1) {
        return -1;
    }
    LONG Lower = 0;
    LONG Upper = -1;
    if (FAILED(SafeArrayGetLBound(Value.parray, 1, &Lower)) ||
        FAILED(SafeArrayGetUBound(Value.parray, 1, &Upper))) {
        return -1;
    }
    for (LONG Index = Lower; Index <= Upper; ++Index) {
        OwnedVariant Element;
        if (SUCCEEDED(SafeArrayGetElement(Value.parray, &Index, Element.Get()))) {
            Visit(*Element.Get());
        }
    }
    return Upper - Lower + 1;
}

// The text of a VT_BSTR value; empty for anything else.
std::wstring VariantText(const VARIANT& Value);

} // namespace Queltburner::Win32
