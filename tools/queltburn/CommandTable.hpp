// The commands of the command-line host and their options: one table says which settings each
// command's operation reads, and both the parser and the help are made from it.
#pragma once

#include "QueltBurner.hpp"

#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Queltburn {

// A command line the host cannot run as given: its message goes to standard error, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parameters of one run that are not settings of the component.
struct RunOptions {
    bool Wait = true;
    bool PrintCommand = false;
    bool SkipMissing = false;
    bool FullErase = false;
    bool Progress = false;
    bool Json = false;     // info: one JSON object
    bool Estimate = false; // a burning command: measure the burn instead of running it
    std::optional<System::UnicodeString> SettingsFile;
    std::optional<System::UnicodeString> SettingsName;
};

// One option. A switch (no Argument) also has a --no- form that turns it off. Exactly one of the
// two actions is set: a run option is known before the component is made (it picks the services
// the component gets), a setting is applied to the component after a settings file is loaded.
struct Option {
    std::string_view Name;
    std::string_view Argument; // empty for a switch
    std::string Help;
    std::string Default; // the initial value as the help states it; empty when none is stated
    std::function<void(RunOptions&, const System::UnicodeString& Value, bool On)> SetRun;
    std::function<void(Queltburner::TQueltBurner&, const System::UnicodeString& Value, bool On)>
        SetSetting;
};

enum class Operands : std::uint8_t { DriveAndFiles, DriveAndOneFile, DriveOnly, None };

struct Command {
    std::string_view Name;
    Operands Takes;
    std::string_view Summary;
    std::vector<std::string_view> Reads; // the options of the settings its operation reads
    // The operation; empty for the command that only prints the settings.
    std::function<int(Queltburner::TQueltBurner&, const RunOptions&, System::WideChar Drive,
                      const std::vector<System::UnicodeString>& Files)>
        Operation;
    // A question instead of an operation (drives, info): prints its answer, returns the exit
    // code. Drive is 0 for a command without operands.
    std::function<int(Queltburner::TQueltBurner&, const RunOptions&, System::WideChar Drive,
                      std::ostream& Out)>
        Query = nullptr;
    // A burning command, which --estimate measures as Burn of this kind (none: the kind that
    // --type chose).
    bool Burns = false;
    std::optional<Queltburner::TDiskType> BurnKind = std::nullopt;
};

const std::vector<Option>& AllOptions();
const std::vector<Command>& Commands();

// The option or command of that name, or nullptr.
const Option* FindOption(std::string_view Name);
const Command* FindCommand(std::u16string_view Name);

// The word --type takes for the disc kind Type ("audio" for dtAudio).
std::string DiskTypeName(Queltburner::TDiskType Type);

// The command that writes the disc kind Type ("audio" for dtAudio), whose options the burn
// command of that kind takes.
const Command& CommandOfDiskType(Queltburner::TDiskType Type);

// The options of C itself (the settings its operation reads first), and the options of how it
// runs; the parser accepts both, the help lists them in this order.
std::vector<std::string_view> OwnOptions(const Command& C);
std::vector<std::string_view> RunnerOptions(const Command& C);

// "queltburn data DRIVE FILE... [options]".
std::string Synopsis(const Command& C);

} // namespace Queltburn
