#include "CommandLineSplit.hpp"

#include "System.SysUtils.hpp"

#include <cstdint>
#include <cstring>

namespace Queltburner {

namespace {

bool IsBlank(char16_t C) {
    return C == u' ' || C == u'\t';
}

// The end of the run from P of units that are copied as they are: up to a backslash, a double
// quote, or (outside quotes) a blank. Four units are tested at once while none of them ends it:
// entries are long and hold few such characters.
std::size_t EndOfPlainRun(std::u16string_view Line, std::size_t P, bool InQuotes) noexcept {
    using System::Sysutils::AnyUnitIs;
    const std::size_t End = Line.size();
    while (P + 4 <= End) {
        std::uint64_t Units = 0;
        std::memcpy(&Units, Line.data() + P, sizeof Units);
        if (AnyUnitIs(Units, u'\\') || AnyUnitIs(Units, u'"') ||
            (!InQuotes && (AnyUnitIs(Units, u' ') || AnyUnitIs(Units, u'\t')))) {
            break;
        }
        P += 4;
    }
    while (P < End && Line[P] != u'\\' && Line[P] != u'"' && (InQuotes || !IsBlank(Line[P]))) {
        ++P;
    }
    return P;
}

} // namespace

std::vector<System::UnicodeString> SplitCommandLine(std::u16string_view Line) {
    std::vector<System::UnicodeString> Items;
    VisitCommandLineItems(Line, [&Items](std::u16string_view Item) { Items.emplace_back(Item); });
    return Items;
}

void VisitCommandLineItems(std::u16string_view Line,
                           const std::function<void(std::u16string_view Item)>& Visit) {
    std::size_t P = 0;
    const std::size_t End = Line.size();
    // One buffer for every item: a command line of thousands of entries makes no string each.
    System::UnicodeString Item;

    // The program name.
    bool InQuotes = false;
    while (P < End && (InQuotes || !IsBlank(Line[P]))) {
        if (Line[P] == u'"') {
            InQuotes = !InQuotes;
        } else {
            Item.push_back(Line[P]);
        }
        ++P;
    }
    Visit(Item);

    // The arguments.
    for (;;) {
        while (P < End && IsBlank(Line[P])) {
            ++P;
        }
        if (P >= End) {
            break;
        }
        Item.clear();
        InQuotes = false;
        while (P < End) {
            std::size_t Backslashes = 0;
            while (P < End && Line[P] == u'\\') {
                ++Backslashes;
                ++P;
            }
            if (P < End && Line[P] == u'"') {
                Item.append(Backslashes / 2, u'\\');
                if (Backslashes % 2 == 1) {
                    Item.push_back(u'"');
                } else if (InQuotes && P + 1 < End && Line[P + 1] == u'"') {
                    Item.push_back(u'"');
                    ++P;
                } else {
                    InQuotes = !InQuotes;
                }
                ++P;
                continue;
            }
            Item.append(Backslashes, u'\\');
            if (P >= End || (!InQuotes && IsBlank(Line[P]))) {
                break;
            }
            // The run up to the next character with a meaning of its own, in one append.
            const std::size_t RunStart = P;
            P = EndOfPlainRun(Line, P, InQuotes);
            Item.append(Line.substr(RunStart, P - RunStart));
        }
        Visit(Item);
    }
}

} // namespace Queltburner
