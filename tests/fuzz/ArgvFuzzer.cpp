// Any text split by the C runtime's rules, then each argument quoted again the way the component
// quotes its values: splitting that line must give back the same arguments.
#include "CommandLine.hpp"
#include "CommandLineSplit.hpp"
#include "FuzzInput.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using QueltFuzz::Check;
using System::UnicodeString;

bool HoldsNul(const UnicodeString& Value) {
    return Value.find(u'\0') != UnicodeString::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const UnicodeString Line = QueltFuzz::CodeUnits(Data, Size);
    const std::vector<UnicodeString> Items = Queltburner::SplitCommandLine(Line);
    Check(!Items.empty(), "the program name is always an item");
    // The program-name rule drops double quotes and reads no escapes, so they never come out.
    Check(Items.front().find(u'"') == UnicodeString::npos, "the program name holds no quote");

    // A NUL cannot be carried by a command line; such arguments are left out of the round trip,
    // and a program name holding one is replaced by a plain one.
    const UnicodeString Program = HoldsNul(Items.front()) ? UnicodeString(u"tool") : Items.front();
    std::vector<UnicodeString> Arguments{Program};
    Queltburner::CommandLine Again(Program);
    for (std::size_t I = 1; I < Items.size(); ++I) {
        if (!HoldsNul(Items[I])) {
            Arguments.push_back(Items[I]);
            Again.Text(u" ").Quoted(Items[I]);
        }
    }
    Check(Queltburner::SplitCommandLine(Again.Result()) == Arguments,
          "quoted arguments split back unchanged");
    return 0;
}
