#include "Request.hpp"

#include "ToolOptions.hpp"

#include <charconv>

namespace Recorder {

namespace {

// The options are read by the names the component composes them with.
namespace Arg = ToolContract::Arg;

template <typename Whole>
Whole WholeNumber(std::optional<std::string_view> Text) {
    Whole Value{};
    if (Text) {
        std::from_chars(Text->data(), Text->data() + Text->size(), Value);
    }
    return Value;
}

std::optional<std::string> Text(std::optional<std::string_view> Value) {
    if (!Value) {
        return std::nullopt;
    }
    return std::string(*Value);
}

} // namespace

Request RequestOf(const ToolGrammar::Recognition& Accepted) {
    const ToolGrammar::ParsedCommand& Command = Accepted.Command;
    Request R;
    R.Kind = Accepted.Kind;
    if (const auto Drive = Command.Value(Arg::DriveName); Drive && !Drive->empty()) {
        R.DriveLetter = static_cast<char16_t>(static_cast<unsigned char>((*Drive)[0]));
    }
    R.Label = std::string(Command.Value(Arg::Iso).value_or(""));
    R.Artist = Text(Command.Value(Arg::Artist));
    R.Title = Text(Command.Value(Arg::Title));
    R.Speed = WholeNumber<std::uint16_t>(Command.Value(Arg::Speed));
    if (Command.Has(Arg::Import)) {
        R.Import = WholeNumber<int>(Command.Value(Arg::Import));
    }
    R.Tao = Command.Has(Arg::Tao);
    R.SpeedTest = Command.Has(Arg::SpeedTest);
    R.CloseSession = Command.Has(Arg::CloseSession);
    R.DetectNonEmptyDisk = Command.Has(Arg::DetectNonEmptyDisk);
    R.UnderrunProtection = Command.Has(Arg::UnderrunProtection);
    R.DisableEject = Command.Has(Arg::DisableEject);
    R.Verify = Command.Has(Arg::Verify);
    R.Dvd = Command.Has(Arg::Dvd);
    R.ForceEraseDisk = Command.Has(Arg::ForceEraseDisk);
    R.EntireErase = Command.Has(Arg::Entire);
    R.ImageFile = std::string(Command.Value(Arg::Image).value_or(""));
    for (const std::string_view Entry : Command.Entries) {
        R.Entries.emplace_back(Entry);
    }
    return R;
}

} // namespace Recorder
