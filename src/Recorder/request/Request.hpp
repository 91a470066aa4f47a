// What a recognised command line asks the recorder to do, with every value in its own field.
#pragma once

#include "CommandGrammar.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

struct Request {
    ToolGrammar::CommandKind Kind = ToolGrammar::CommandKind::DataDisc;
    char16_t DriveLetter = u'?';
    std::string Label;
    std::optional<std::string> Artist;
    std::optional<std::string> Title;
    std::uint16_t Speed = 0;
    // The session to continue (0: the last one); none for a new disc.
    std::optional<int> Import;
    bool Tao = false;
    bool SpeedTest = false;
    bool CloseSession = false;
    bool DetectNonEmptyDisk = false;
    bool UnderrunProtection = false;
    bool DisableEject = false;
    bool Verify = false;
    bool Dvd = false;
    bool ForceEraseDisk = false;
    bool EntireErase = false;
    std::vector<std::string> Entries;
    std::string ImageFile;
};

// The request of an accepted command line. The grammar has checked every value's form already.
Request RequestOf(const ToolGrammar::Recognition& Accepted);

} // namespace Recorder
