// The commands of the command-line host: what each runs, which of the options (OptionTable.cpp)
// its operation reads, and the parts of the help made from them.
#include "CommandTable.hpp"

#include "Queries.hpp"
#include "System.SysUtils.hpp"

#include <algorithm>

namespace Queltburn {

namespace {

using System::UnicodeString;

// The options of the data disc, which reads every burn setting.
std::vector<std::string_view> DataSettings() {
    return {"label",         "artist",           "title",
            "speed",         "continue-session", "tao",
            "speedtest",     "close-session",    "detect-non-empty-disk",
            "underrun-prot", "disable-eject",    "verify",
            "dvd",           "force-erase-disk"};
}

std::vector<std::string_view> DataSettingsAndType() {
    std::vector<std::string_view> Reads = DataSettings();
    Reads.emplace_back("type");
    return Reads;
}

} // namespace

const std::vector<Command>& Commands() {
    using Queltburner::TQueltBurner;
    using Files = std::vector<UnicodeString>;
    static const std::vector<Command> List = {
        {"data", Operands::DriveAndFiles, "writes a data disc from the files and folders",
         DataSettings(),
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.BurnData(D);
         },
         nullptr, true, Queltburner::dtData},
        {"audio",
         Operands::DriveAndFiles,
         "writes an audio CD from the files",
         {"artist", "title", "speed", "tao", "disable-eject"},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.BurnAudio(D);
         },
         nullptr,
         true,
         Queltburner::dtAudio},
        {"video",
         Operands::DriveAndFiles,
         "writes a Video CD from the files",
         {"speed", "tao", "disable-eject", "speedtest", "close-session", "force-erase-disk"},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.BurnVideo(D);
         },
         nullptr,
         true,
         Queltburner::dtVideo},
        {"svideo",
         Operands::DriveAndFiles,
         "writes a Super Video CD from the files",
         {"speed", "tao", "disable-eject", "speedtest", "close-session", "force-erase-disk"},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.BurnSuperVideo(D);
         },
         nullptr,
         true,
         Queltburner::dtSuperVideo},
        {"dvdvideo",
         Operands::DriveAndFiles,
         "writes a DVD-Video disc from the files and folders",
         {"label", "artist", "title", "speed", "tao", "speedtest", "close-session",
          "detect-non-empty-disk", "underrun-prot", "disable-eject", "verify", "force-erase-disk"},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.BurnDVDVideo(D);
         },
         nullptr,
         true,
         Queltburner::dtDVDVideo},
        {"image",
         Operands::DriveAndOneFile,
         "writes the image FILE (result -3 when it does not exist)",
         {"speed", "tao", "dvd", "speedtest", "close-session", "detect-non-empty-disk",
          "underrun-prot", "disable-eject", "force-erase-disk"},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files& Image) {
             return B.BurnImage(Image.front(), D);
         }},
        {"erase",
         Operands::DriveOnly,
         "blanks the rewritable disc",
         {"full"},
         [](TQueltBurner& B, const RunOptions& R, System::WideChar D, const Files&) {
             return B.Erase(D, R.FullErase);
         }},
        {"eject",
         Operands::DriveOnly,
         "opens the tray",
         {},
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.Eject(D);
         }},
        {"burn", Operands::DriveAndFiles, "writes the disc kind that --type names, from the files",
         DataSettingsAndType(),
         [](TQueltBurner& B, const RunOptions&, System::WideChar D, const Files&) {
             return B.Burn(D);
         },
         nullptr, true},
        {"drives",
         Operands::None,
         "lists the optical drives, each with its target, maker and model, what it writes, "
         "whether a run holds it (in use) and what its disc holds",
         {"json"},
         nullptr,
         [](TQueltBurner& B, const RunOptions& R, System::WideChar, std::ostream& Out) {
             return PrintDrives(B, R.Json, Out);
         }},
        {"info",
         Operands::DriveOnly,
         "tells what the disc in DRIVE holds: medium, state, sessions, label, used and free space",
         {"json"},
         nullptr,
         [](TQueltBurner& B, const RunOptions& R, System::WideChar D, std::ostream& Out) {
             return PrintDiscInfo(B, D, R.Json, Out);
         }},
        {"settings", Operands::None,
         "prints the settings that the options (and a settings file) produce, as the form text "
         "the framework writes",
         DataSettingsAndType(), nullptr},
    };
    return List;
}

const Command* FindCommand(std::u16string_view Name) {
    const auto& List = Commands();
    const auto Found = std::find_if(List.begin(), List.end(), [&](const Command& C) {
        return std::equal(Name.begin(), Name.end(), C.Name.begin(), C.Name.end());
    });
    return Found == List.end() ? nullptr : &*Found;
}

const Command& CommandOfDiskType(Queltburner::TDiskType Type) {
    // Burn runs BurnDVDVideo for any kind past the Super Video CD.
    const std::string Name = Type > Queltburner::dtDVDVideo ? "dvdvideo" : DiskTypeName(Type);
    return *FindCommand(System::Sysutils::UTF8ToString(Name));
}

std::vector<std::string_view> OwnOptions(const Command& C) {
    std::vector<std::string_view> Names = C.Reads;
    if (C.Takes == Operands::DriveAndFiles) {
        Names.emplace_back("skip-missing");
    }
    return Names;
}

std::vector<std::string_view> RunnerOptions(const Command& C) {
    if (C.Query) {
        // A question starts only the tool's own query, which nothing else changes.
        return {"tool", "settings", "name"};
    }
    if (C.Takes == Operands::None) {
        // Printing the settings starts no tool; the settings of the tool's window and messages
        // are part of the form text.
        return {"hide", "quiet", "timeout", "settings", "name"};
    }
    std::vector<std::string_view> Names{"wait", "sync",  "timeout", "progress", "print-command",
                                        "hide", "quiet", "tool",    "settings", "name"};
    if (C.Burns) {
        Names.emplace_back("estimate");
    }
    return Names;
}

std::string Synopsis(const Command& C) {
    std::string Text = "queltburn " + std::string(C.Name);
    switch (C.Takes) {
    case Operands::DriveAndFiles:
        Text += " DRIVE FILE...";
        break;
    case Operands::DriveAndOneFile:
        Text += " DRIVE FILE";
        break;
    case Operands::DriveOnly:
        Text += " DRIVE";
        break;
    case Operands::None:
        break;
    }
    return Text + " [options]";
}

} // namespace Queltburn