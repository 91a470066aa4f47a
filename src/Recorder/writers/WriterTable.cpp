// The writer of each command the recorder carries out.
#include "CueSheet.hpp"
#include "Writers.hpp"

#include <array>

namespace Recorder {

namespace {

using ToolGrammar::CommandKind;

// A CD image is given by its CUE sheet, whose data files hold raw sectors.
bool IsCueImage(const Request& Ask) {
    return IsCueSheetName(Ask.ImageFile);
}

constexpr std::array<WriterEntry, 9> Writers{{
    {CommandKind::DataDisc, nullptr, &WriteDataDisc, true},
    {CommandKind::VideoCd, nullptr, &WriteVideoCd, false},
    {CommandKind::SuperVideoCd, nullptr, &WriteVideoCd, false},
    {CommandKind::DvdVideo, nullptr, &WriteDvdVideo, false},
    {CommandKind::Image, &IsCueImage, &BurnCueImage, false},
    {CommandKind::Image, nullptr, &BurnImageFile, false},
    {CommandKind::AudioCd, nullptr, &WriteAudioCd, false},
    {CommandKind::Erase, nullptr, &EraseDisc, false},
    {CommandKind::Eject, nullptr, &EjectDisc, false},
}};

} // namespace

const WriterEntry* WriterFor(const Request& Ask) {
    for (const WriterEntry& Entry : Writers) {
        if (Entry.Kind == Ask.Kind && (Entry.Takes == nullptr || Entry.Takes(Ask))) {
            return &Entry;
        }
    }
    return nullptr;
}

} // namespace Recorder
