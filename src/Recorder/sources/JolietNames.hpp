// The names of a data disc as its Joliet tree holds them. Rock Ridge gets each name's bytes as
// they are (the interpreter's charsets are UTF-8 in and out, so nothing is converted); Joliet
// holds UTF-16, which libisofs converts each name to from UTF-8 through iconv. A name that is not
// UTF-8 (a Latin-1 "caf\xE9.txt", broken UTF-8) gets a replacement name there: "_" for each byte
// the conversion cannot take. libisofs's UTF-16 conversion cuts a name short at a cut-off
// sequence at its end instead ("a\xE9" becomes "a", ".\xE9" becomes "." and "\xE9" nothing, which
// fails the write), while its UCS-2 conversion replaces those bytes too: a session whose tree
// holds such a name has UCS-2 Joliet names, where a character past U+FFFF is "_" as well.
#pragma once

#include "Progress.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <string_view>

namespace Recorder {

// Whether Name is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsWellFormedUtf8(std::string_view Name);

// Whether Name ends in a sequence that iconv takes for a character cut off by the end of its
// input (a lead byte followed by fewer continuation bytes than it announces): libisofs's UTF-16
// conversion drops it. Errs towards yes.
bool EndsCutOff(std::string_view Name);

// Whether Name is well-formed UTF-8 holding a character past U+FFFF, which UCS-2 has no room for.
bool HasCharacterBeyondBmp(std::string_view Name);

// The names a run puts on a disc, counted for the Joliet tree.
struct JolietNameCounts {
    std::uint64_t NotUtf8 = 0;   // names that are not well-formed UTF-8
    std::uint64_t CutOff = 0;    // those of them that end in a cut-off sequence
    std::uint64_t BeyondBmp = 0; // UTF-8 names holding a character past U+FFFF

    void Count(std::string_view Name);
    // Whether Joliet needs UCS-2 names: a cut-off name would be cut short in UTF-16.
    bool NeedUcs2() const noexcept { return CutOff > 0; }
    // The names Joliet shows replaced, with UCS-2 names or UTF-16 ones.
    std::uint64_t Replaced(bool Ucs2) const noexcept { return NotUtf8 + (Ucs2 ? BeyondBmp : 0); }
};

// Whether a path of the disc's tree, as xorriso prints it in a result (quoted for a shell), has
// a name that ends in a cut-off sequence.
bool PrintedPathHoldsCutOffName(std::string_view Printed);

// Sets the Joliet names of the session laid out in Disc: UTF-16, or UCS-2 when a name of Names
// (this run's) or, on a Continued disc, of the tree it takes over ends in a cut-off sequence.
// Then says in one line how many of this run's names Joliet shows replaced, if any.
void SetJolietNames(XorrisoSession& Disc, Progress& Report, const JolietNameCounts& Names,
                    bool Continued);

} // namespace Recorder
