#include "System.TypInfo.hpp"

#include <algorithm>

namespace System::Typinfo {

bool SameIdentifier(std::u16string_view A, std::u16string_view B) noexcept {
    const auto Lower = [](char16_t C) {
        return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C;
    };
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(),
                      [&](char16_t X, char16_t Y) { return Lower(X) == Lower(Y); });
}

const TPropInfo* FindPropInfo(const TPropList& Properties, std::u16string_view Name) noexcept {
    const auto Found = std::find_if(Properties.begin(), Properties.end(), [&](const TPropInfo& P) {
        return SameIdentifier(P.Name, Name);
    });
    return Found == Properties.end() ? nullptr : &*Found;
}

} // namespace System::Typinfo
