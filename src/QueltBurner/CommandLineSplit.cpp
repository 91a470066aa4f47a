#include "CommandLineSplit.hpp"

namespace Queltburner {

namespace {

bool IsBlank(char16_t C) {
    return C == u' ' || C == u'\t';
}

} // namespace

std::vector<System::UnicodeString> SplitCommandLine(std::u16string_view Line) {
    std::vector<System::UnicodeString> Items;
    std::size_t P = 0;
    const std::size_t End = Line.size();

    // The program name.
    System::UnicodeString Program;
    bool InQuotes = false;
    while (P < End && (InQuotes || !IsBlank(Line[P]))) {
        if (Line[P] == u'"') {
            InQuotes = !InQuotes;
        } else {
            Program.push_back(Line[P]);
        }
        ++P;
    }
    Items.push_back(std::move(Program));

    // The arguments.
    for (;;) {
        while (P < End && IsBlank(Line[P])) {
            ++P;
        }
        if (P >= End) {
            break;
        }
        System::UnicodeString Item;
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
            Item.push_back(Line[P]);
            ++P;
        }
        Items.push_back(std::move(Item));
    }
    return Items;
}

} // namespace Queltburner
