// The texts a run puts on a disc (label, artist, title) as the fields that carry them hold them.
// A text longer than its field is written as far as it fits, cut at a character boundary, and the
// run says so: a long title is no reason to refuse a disc.
#pragma once

#include "Writers.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Recorder {

// ISO 9660's volume identifier.
constexpr std::size_t IsoVolumeIdBytes = 32;
// What Joliet readers show of the volume identifier.
constexpr std::size_t JolietVolumeIdCharacters = 16;
// ISO 9660's publisher and volume-set identifiers.
constexpr std::size_t IsoIdentifierBytes = 128;
// PERFORMER and TITLE of a CUE sheet: CDRWIN's sheets allow 80 characters, and the readers that
// follow it (cdrdao, bchunk, players' CUE parsers) take no more.
constexpr std::size_t CueTextCharacters = 80;
// CD-TEXT's text packs of one language block: 253 packs, 3 of them the block's size
// information, each carrying 12 bytes of text.
constexpr std::size_t CdTextBytes = std::size_t{250} * 12;

// The longest prefix of Text of at most Bytes bytes that ends at a UTF-8 character boundary.
std::string_view CutUtf8Bytes(std::string_view Text, std::size_t Bytes);
// The first Characters UTF-8 characters of Text.
std::string_view CutUtf8Characters(std::string_view Text, std::size_t Characters);
std::size_t Utf8Characters(std::string_view Text);

// Text as far as Bytes bytes hold it; a cut is said on standard output, naming the field.
std::string FitText(const WriteContext& Context, std::string_view Name, const std::string& Text,
                    std::size_t Bytes, std::string_view Field);

// The label, artist and title of a data or DVD-Video disc, in their ISO 9660 fields.
std::string IsoVolumeId(const WriteContext& Context);
std::optional<std::string> IsoPublisher(const WriteContext& Context);
std::optional<std::string> IsoVolumeSet(const WriteContext& Context);

// The bytes each CD-TEXT text may take, terminator included, when a disc of Tracks tracks carries
// Fields texts on the disc and on every track (libburn writes a disc's text only with the tracks'
// own): all of them share one block's packs.
std::size_t CdTextLimit(std::size_t Fields, std::size_t Tracks);

} // namespace Recorder
