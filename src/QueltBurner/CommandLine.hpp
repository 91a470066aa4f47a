// Composition of a NeroCmd.exe command line. Each command appends its option texts in the order of
// its table; values are quoted here, in one place, so that every command carries every value the
// same way.
#pragma once

#include "System.Classes.hpp"
#include "System.hpp"

#include <cstdint>
#include <functional>
#include <string_view>

namespace Queltburner {

class HostServices;

class CommandLine {
public:
    // Starts the line with the tool's path; a path holding a blank or a tab is put in double
    // quotes, so that the program-name rule reads it whole.
    explicit CommandLine(const System::UnicodeString& ToolPath);

    // Appends text exactly as written.
    CommandLine& Text(std::u16string_view Option);
    CommandLine& TextIf(bool Condition, std::u16string_view Option);
    // Appends one of the tool's option names (ASCII, from src/ToolContract/ToolOptions.hpp) and
    // the blank that ends it.
    CommandLine& Option(std::string_view Name);
    CommandLine& OptionIf(bool Condition, std::string_view Name);
    // Appends a value in double quotes, escaped by the C runtime's rules so that the tool reads
    // back exactly the value: a double quote becomes \" and backslashes before a double quote
    // (or before the closing quote) are doubled. A value free of both is written unchanged.
    CommandLine& Quoted(std::u16string_view Value);
    CommandLine& Quoted(System::WideChar Value);
    // Appends decimal text without sign or leading zeros for non-negative values.
    CommandLine& Number(std::int64_t Value);
    // The option name, a blank, the quoted value and one blank, only when Value is not empty.
    CommandLine& QuotedOptionIfNotEmpty(std::string_view Name, std::u16string_view Value);

    // Makes room for More code units beyond the text so far.
    void Reserve(std::size_t More) { FText.reserve(FText.size() + More); }

    const System::UnicodeString& Result() const& noexcept { return FText; }
    System::UnicodeString Result() && noexcept { return std::move(FText); }

private:
    System::UnicodeString FText;
};

// The pieces that several commands share, each written once.

// " --write --drivename ", the drive letter in double quotes, " --real ".
void AppendBurnHead(CommandLine& Line, System::WideChar Drive);
// "--speed ", the decimal speed, one blank.
void AppendSpeed(CommandLine& Line, std::uint16_t Speed);
// Each entry that names an existing file or folder, quoted, followed by one blank; entries that
// name nothing are left out. An entry that begins with '-' is written with "./" (".\" on
// Windows) before it, so that it stays a file for the tool; its existence is tested as given.
// The number of entries is taken once, before the first is read. LeftOut, when set, hears of
// each entry left out, in list order.
using EntryLeftOutHandler = std::function<void(const System::UnicodeString& Entry)>;
void AppendExistingEntries(CommandLine& Line, const System::Classes::TStrings& Entries,
                           HostServices& Host, const EntryLeftOutHandler& LeftOut = {});

// True when the text can be handed to a process start: a NUL would cut the command line short.
bool CanBeCarried(std::u16string_view CommandLineText) noexcept;

} // namespace Queltburner
