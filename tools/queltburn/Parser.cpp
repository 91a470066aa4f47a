#include "Parser.hpp"

#include "System.SysUtils.hpp"

#include <algorithm>

namespace Queltburn {

namespace {

using System::UnicodeString;
using System::Sysutils::UTF8Encode;

bool Accepts(const Command& C, std::string_view Name) {
    const auto Own = OwnOptions(C);
    const auto Runner = RunnerOptions(C);
    return std::find(Own.begin(), Own.end(), Name) != Own.end() ||
           std::find(Runner.begin(), Runner.end(), Name) != Runner.end();
}

std::string NoSuchOption(const Command& C, const std::string& Given) {
    return "'" + std::string(C.Name) + "' has no option " + Given +
           " (a file whose name starts with - goes after --)";
}

} // namespace

ParsedArguments ParseArguments(const Command& C, const std::vector<UnicodeString>& Args) {
    ParsedArguments Parsed;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        const UnicodeString& Arg = Args[I];
        if (Arg == u"--") {
            Parsed.Operands.insert(Parsed.Operands.end(), Args.begin() + static_cast<long>(I) + 1,
                                   Args.end());
            break;
        }
        if (Arg == u"--help" || Arg == u"-h") {
            Parsed.Help = true;
            return Parsed;
        }
        if (Arg.size() < 2 || Arg[0] != u'-') {
            Parsed.Operands.push_back(Arg);
            continue;
        }
        if (Arg[1] != u'-') {
            throw UsageError(NoSuchOption(C, UTF8Encode(Arg)));
        }
        const std::size_t Equals = Arg.find(u'=');
        const std::string Name = UTF8Encode(Arg.substr(2, Equals - 2));
        const bool Negated = Name.starts_with("no-");
        const std::string_view Base =
            Negated ? std::string_view(Name).substr(3) : std::string_view(Name);
        const Option* O = Accepts(C, Base) ? FindOption(Base) : nullptr;
        if (O == nullptr || (Negated && !O->Argument.empty())) {
            throw UsageError(NoSuchOption(C, "--" + Name));
        }
        ParsedOption Given{O, UnicodeString(), !Negated};
        if (O->Argument.empty()) {
            if (Equals != UnicodeString::npos) {
                throw UsageError("--" + Name + " is a switch and takes no value (--" +
                                 std::string(O->Name) + " turns it on, --no-" +
                                 std::string(O->Name) + " off)");
            }
        } else if (Equals != UnicodeString::npos) {
            Given.Value = Arg.substr(Equals + 1);
        } else if (I + 1 < Args.size()) {
            Given.Value = Args[++I];
        } else {
            throw UsageError("--" + Name + " needs " + std::string(O->Argument));
        }
        Parsed.Options.push_back(std::move(Given));
    }
    return Parsed;
}

} // namespace Queltburn
