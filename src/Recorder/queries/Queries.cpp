// What the answers to the recorder's questions share: their line format and the quiet report.
#include "Queries.hpp"

#include <cstdio>

namespace Recorder {

Progress& QuietReport() {
    static std::FILE* const Nowhere = std::fopen("/dev/null", "we");
    static Progress Report(Nowhere != nullptr ? Nowhere : stderr);
    return Report;
}

void PrintAnswer(std::string_view Key, std::string_view Value) {
    std::string Line(Key);
    Line += '=';
    for (const char C : Value) {
        Line += C == '\n' || C == '\r' ? ' ' : C;
    }
    Line += '\n';
    (void)std::fwrite(Line.data(), 1, Line.size(), stdout);
}

void PrintAnswer(std::string_view Key, std::uint64_t Value) {
    PrintAnswer(Key, std::to_string(Value));
}

} // namespace Recorder
