#include "Request.hpp"

#include <charconv>

namespace Recorder {

namespace {

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
    if (const auto Drive = Command.Value("--drivename"); Drive && !Drive->empty()) {
        R.DriveLetter = static_cast<char16_t>(static_cast<unsigned char>((*Drive)[0]));
    }
    R.Label = std::string(Command.Value("--iso").value_or(""));
    R.Artist = Text(Command.Value("--artist"));
    R.Title = Text(Command.Value("--title"));
    R.Speed = WholeNumber<std::uint16_t>(Command.Value("--speed"));
    if (Command.Has("--import")) {
        R.Import = WholeNumber<int>(Command.Value("--import"));
    }
    R.Tao = Command.Has("--tao");
    R.SpeedTest = Command.Has("--speedtest");
    R.CloseSession = Command.Has("--close_session");
    R.DetectNonEmptyDisk = Command.Has("--detect_non_empty_disk");
    R.UnderrunProtection = Command.Has("--underrun_prot");
    R.DisableEject = Command.Has("--disable_eject");
    R.Verify = Command.Has("--verify");
    R.Dvd = Command.Has("--dvd");
    R.ForceEraseDisk = Command.Has("--force_erase_disk");
    R.EntireErase = Command.Has("--entire");
    R.ImageFile = std::string(Command.Value("--image").value_or(""));
    for (const std::string_view Entry : Command.Entries) {
        R.Entries.emplace_back(Entry);
    }
    return R;
}

} // namespace Recorder
