#include "BatchFileRule.hpp"

#include "CommandLineSplit.hpp"
#include "System.SysUtils.hpp"

#include <algorithm>

namespace Queltburner {

namespace {

using System::Sysutils::LowerAscii;

bool EndsWithNoCase(std::u16string_view Text, std::u16string_view Suffix) noexcept {
    return Text.size() >= Suffix.size() &&
           std::equal(Suffix.begin(), Suffix.end(),
                      Text.end() - static_cast<std::ptrdiff_t>(Suffix.size()),
                      [](char16_t A, char16_t B) { return LowerAscii(A) == LowerAscii(B); });
}

} // namespace

bool IsBatchFile(std::u16string_view Path) noexcept {
    while (!Path.empty() && (Path.back() == u'.' || Path.back() == u' ')) {
        Path.remove_suffix(1);
    }
    return EndsWithNoCase(Path, u".bat") || EndsWithNoCase(Path, u".cmd");
}

bool IsSafeForCommandInterpreter(std::u16string_view CommandLine) {
    const std::vector<System::UnicodeString> Items = SplitCommandLine(CommandLine);
    return std::all_of(Items.begin() + 1, Items.end(), [](const System::UnicodeString& Item) {
        return Item.find_first_of(u"%!\"\r\n") == System::UnicodeString::npos;
    });
}

} // namespace Queltburner
