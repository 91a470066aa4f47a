// JSON string literals for the run log and for quoting arguments in messages.
#pragma once

#include <string>
#include <string_view>

namespace ToolGrammar {

// Appends the text as a JSON string literal, quotes included. The result is always valid JSON
// even when the text is not valid UTF-8:
//  - quote and backslash are escaped as \" and \\;
//  - control characters (U+0000..U+001F and U+007F) become \u00xx with lowercase hex, so a
//    logged line or a message never breaks across lines;
//  - well-formed UTF-8 sequences are copied unchanged;
//  - every byte that is not part of a well-formed sequence (stray continuation bytes, truncated
//    sequences, overlong forms, surrogates, values past U+10FFFF) becomes \u00xx of that byte.
// Since well-formed text above U+007F is never escaped, \u0080..\u00ff in the output always
// stands for one raw byte of the original, and a reader that maps every \u00xx back to the byte
// xx recovers the argument bytes exactly.
void AppendJsonString(std::string& Out, std::string_view Text);

} // namespace ToolGrammar
