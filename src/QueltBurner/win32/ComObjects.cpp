#include "ComObjects.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace Queltburner::Win32 {

ComApartment::ComApartment()
    // The multithreaded apartment needs no message loop from a thread that had none.
    : FResult(CoInitializeEx(nullptr, COINIT_MULTITHREADED)),
      FUsable(SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE), FOwned(SUCCEEDED(FResult)) {}

ComApartment::~ComApartment() {
    // S_FALSE counts too: every successful CoInitializeEx is matched by one CoUninitialize.
    if (FOwned) {
        CoUninitialize();
    }
}

HRESULT DispatchObject::Create(const wchar_t* ProgId) {
    CLSID Class{};
    const HRESULT Found = CLSIDFromProgID(ProgId, &Class);
    if (FAILED(Found)) {
        return Found;
    }
    ComRef<IDispatch> Object;
    const HRESULT Created = CoCreateInstance(Class, nullptr, CLSCTX_ALL, IID_IDispatch,
                                             reinterpret_cast<void**>(Object.Receive()));
    if (SUCCEEDED(Created) && !Object) {
        return E_POINTER;
    }
    FObject = std::move(Object);
    return Created;
}

HRESULT DispatchObject::Invoke(const wchar_t* Name, WORD Flags, DISPPARAMS& Parameters,
                               VARIANT* Result) const {
    if (!FObject) {
        return E_POINTER;
    }
    DISPID Id = DISPID_UNKNOWN;
    // GetIDsOfNames takes non-const names but does not write them.
    LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
    const HRESULT Named =
        FObject.Get()->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id);
    if (FAILED(Named)) {
        return Named;
    }
    return FObject.Get()->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Parameters, Result,
                                 nullptr, nullptr);
}

HRESULT DispatchObject::Read(const wchar_t* Name, VARIANT& Result,
                             std::initializer_list<VARIANT> Arguments) const {
    // IDispatch takes arguments last to first.
    std::vector<VARIANT> Reversed(Arguments.begin(), Arguments.end());
    std::reverse(Reversed.begin(), Reversed.end());
    DISPPARAMS Parameters{Reversed.data(), nullptr, static_cast<UINT>(Reversed.size()), 0};
    // Properties with an index (Item) and methods (IsCurrentMediaSupported) are both reached so.
    return Invoke(Name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, Parameters, &Result);
}

HRESULT DispatchObject::Write(const wchar_t* Name, VARIANT Value) const {
    DISPID Named = DISPID_PROPERTYPUT;
    DISPPARAMS Parameters{&Value, &Named, 1, 1};
    const HRESULT Put = Invoke(Name, DISPATCH_PROPERTYPUT, Parameters, nullptr);
    if (Put != DISP_E_MEMBERNOTFOUND || Value.vt != VT_DISPATCH) {
        return Put;
    }
    // An object-valued property may be declared as one set by reference.
    return Invoke(Name, DISPATCH_PROPERTYPUTREF, Parameters, nullptr);
}

HRESULT DispatchObject::ReadLong(const wchar_t* Name, LONG& Value) const {
    OwnedVariant Raw;
    HRESULT Result = Read(Name, *Raw.Get());
    if (FAILED(Result)) {
        return Result;
    }
    OwnedVariant Converted;
    Result = VariantChangeType(Converted.Get(), Raw.Get(), 0, VT_I4);
    if (SUCCEEDED(Result)) {
        Value = Converted.Get()->lVal;
    }
    return Result;
}

HRESULT DispatchObject::ReadBool(const wchar_t* Name, bool& Value) const {
    OwnedVariant Raw;
    HRESULT Result = Read(Name, *Raw.Get());
    if (FAILED(Result)) {
        return Result;
    }
    OwnedVariant Converted;
    Result = VariantChangeType(Converted.Get(), Raw.Get(), 0, VT_BOOL);
    if (SUCCEEDED(Result)) {
        Value = Converted.Get()->boolVal != VARIANT_FALSE;
    }
    return Result;
}

VARIANT LongArgument(LONG Value) {
    VARIANT Argument;
    VariantInit(&Argument);
    Argument.vt = VT_I4;
    Argument.lVal = Value;
    return Argument;
}

VARIANT TextArgument(BSTR Value) {
    VARIANT Argument;
    VariantInit(&Argument);
    Argument.vt = VT_BSTR;
    Argument.bstrVal = Value;
    return Argument;
}

VARIANT ObjectArgument(IDispatch* Value) {
    VARIANT Argument;
    VariantInit(&Argument);
    Argument.vt = VT_DISPATCH;
    Argument.pdispVal = Value;
    return Argument;
}

std::wstring VariantText(const VARIANT& Value) {
    if (Value.vt != VT_BSTR || Value.bstrVal == nullptr) {
        return {};
    }
    return {Value.bstrVal, SysStringLen(Value.bstrVal)};
}

} // namespace Queltburner::Win32
