#include "System.TypInfo.hpp"

#include "System.SysUtils.hpp"

#include <algorithm>

namespace System::Typinfo {

bool SameIdentifier(std::u16string_view A, std::u16string_view B) noexcept {
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](char16_t X, char16_t Y) {
               return Sysutils::LowerAscii(X) == Sysutils::LowerAscii(Y);
           });
}

const TPropInfo* FindPropInfo(const TPropList& Properties, std::u16string_view Name) noexcept {
    const auto Found = std::find_if(Properties.begin(), Properties.end(), [&](const TPropInfo& P) {
        return SameIdentifier(P.Name, Name);
    });
    return Found == Properties.end() ? nullptr : &*Found;
}

} // namespace System::Typinfo
