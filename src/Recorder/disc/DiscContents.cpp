// The table of contents as libburn's result lines give it, and a virtual disc loaded with or
// without its checksum tags.
#include "DiscContents.hpp"

#include "RealDrive.hpp"

#include <charconv>
#include <string_view>
#include <vector>

namespace Recorder {

namespace {

std::string_view Trimmed(std::string_view Text) {
    while (!Text.empty() && Text.front() == ' ') {
        Text.remove_prefix(1);
    }
    while (!Text.empty() && Text.back() == ' ') {
        Text.remove_suffix(1);
    }
    return Text;
}

// The text after "Name :" of the first result line that starts with Name.
std::optional<std::string_view> FieldOf(const std::vector<std::string>& Lines,
                                        std::string_view Name) {
    for (const std::string& Line : Lines) {
        const std::size_t Colon = Line.find(':');
        if (Line.starts_with(Name) && Colon != std::string::npos) {
            return Trimmed(std::string_view(Line).substr(Colon + 1));
        }
    }
    return std::nullopt;
}

} // namespace

TocSummary ReadToc(XorrisoSession& Session) {
    const std::vector<std::string>& Toc = Session.Results();
    TocSummary Summary;
    Summary.Sessions = CountLines(Toc, "ISO session");
    // "ISO session  :   2 ,        64 ,        24s , LABEL": the label is all after the third
    // comma, commas of its own included.
    for (const std::string& Line : Toc) {
        if (!Line.starts_with("ISO session")) {
            continue;
        }
        std::size_t At = 0;
        for (int Comma = 0; Comma < 3 && At != std::string::npos; ++Comma) {
            At = Line.find(',', At == 0 ? 0 : At + 1);
        }
        Summary.Label = At == std::string::npos ? "" : Trimmed(Line.substr(At + 1));
    }
    Summary.NextAddress = BlocksIn(Toc, "Media nwa");
    if (const auto Text = FieldOf(Toc, "Media summary")) {
        // "2 sessions, 48 data blocks, 96.0k data, 72.1g free"
        const std::size_t Comma = Text->find(", ");
        if (Comma != std::string_view::npos) {
            const std::string_view Rest = Text->substr(Comma + 2);
            std::uint64_t Blocks = 0;
            const auto [End, Error] =
                std::from_chars(Rest.data(), Rest.data() + Rest.size(), Blocks);
            if (Error == std::errc() &&
                std::string_view(End, static_cast<std::size_t>(Rest.data() + Rest.size() - End))
                    .starts_with(" data blocks")) {
                Summary.DataBlocks = Blocks;
            }
        }
    }
    const std::string_view Medium = FieldOf(Toc, "Media current").value_or("");
    Summary.MediumName = std::string(Medium.substr(0, Medium.find(',')));
    Summary.Status = std::string(FieldOf(Toc, "Media status").value_or(""));
    return Summary;
}

std::optional<RecordedChecksums>
LoadVirtualDisc(XorrisoSession& Session, const std::string& Command, const std::string& Path) {
    const std::vector<std::string> Load{Command, "stdio:" + Path};
    if (Session.Run(Load)) {
        return RecordedChecksums::Pass;
    }
    // Only the tags are left unchecked: the files' own checksums are loaded as before. A disc that
    // loads this way failed only for its tags.
    if (Session.Run({"-md5", "load_check_off"}) && Session.Run(Load)) {
        return RecordedChecksums::Fail;
    }
    return std::nullopt;
}

} // namespace Recorder
