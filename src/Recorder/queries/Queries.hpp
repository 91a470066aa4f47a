// The questions the recorder answers without writing: what the disc in a drive holds, and what a
// burn would take of it. The answers are "key=value" lines on standard output, one key a line,
// which the POSIX host reads; a failure is one line on standard error with the usual exit codes.
// What a disc holds is read by DiscContents.hpp, which the burns that continue a disc share.
#pragma once

#include "Disc.hpp"
#include "DiscContents.hpp"
#include "Request.hpp"
#include "Target.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Recorder {

// "--disc_info --drivename L": medium=, state= (blank, appendable, closed, not a disc, no disc),
// sessions=, label=, used_bytes=, free_bytes=. A file that is not a disc is an answer here, not a
// target error: the question is what the drive holds. A missing file is a blank disc (a burn
// makes it); a disc a run holds is a target error naming that run.
int AnswerDiscInfo(const Request& Ask);

// "--estimate" before a burn command line: needed_bytes= and free_bytes=, worked out by the same
// checks the burn runs before it writes, and nothing written. Exit 0 whether or not it fits; the
// burn's own exit codes for a bad target, source or medium; NotAvailable for a kind of disc the
// recorder cannot measure.
int AnswerEstimate(const Request& Ask, Disc& Onto);

// Where the writers' progress and notices go while a question is answered: nowhere, so that
// standard output carries the answer alone.
Progress& QuietReport();

// One answer line; a line break in Value (a label may hold anything) becomes a blank.
void PrintAnswer(std::string_view Key, std::string_view Value);
void PrintAnswer(std::string_view Key, std::uint64_t Value);

} // namespace Recorder
