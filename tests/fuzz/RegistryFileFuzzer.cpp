// Arbitrary bytes read as a registry-export file: the reader must never fail, whatever it finds,
// and must answer with one of its three kinds.
#include "FuzzInput.hpp"
#include "RegistryFile.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using Queltburner::RegistryValueKind;

// The key the component reads, keys that the seeds use, and names of every sort, the default
// value's empty name included.
constexpr std::u16string_view Keys[] = {u"Software\\ahead\\Nero - Burning Rom\\General",
                                        u"Software\\Quelt", u"software\\QUELT\\Sub Key", u""};
constexpr std::u16string_view Names[] = {u"RegisteredTypesNeroPath", u"", u"Plain", u"Value",
                                         u"registeredtypesneropath"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    for (const std::u16string_view Key : Keys) {
        for (const std::u16string_view Name : Names) {
            const Queltburner::RegistryValue Value =
                Queltburner::Posix::FindUserValue(Bytes, Key, Name);
            QueltFuzz::Check(Value.Kind == RegistryValueKind::Text ||
                                 Value.Kind == RegistryValueKind::Missing ||
                                 Value.Kind == RegistryValueKind::OtherType,
                             "the value is of one of the three kinds");
            QueltFuzz::Check(Value.Kind == RegistryValueKind::Text || Value.Text.empty(),
                             "only a text value carries text");
        }
    }
    return 0;
}
