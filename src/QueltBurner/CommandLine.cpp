#include "CommandLine.hpp"

#include "QueltBurnerHostServices.hpp"
#include "System.SysUtils.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

namespace {

namespace Arg = ToolContract::Arg;

bool NeedsProgramQuotes(std::u16string_view Path) {
    return Path.find_first_of(u" \t") != std::u16string_view::npos;
}

} // namespace

CommandLine::CommandLine(const System::UnicodeString& ToolPath) {
    if (NeedsProgramQuotes(ToolPath)) {
        FText.reserve(ToolPath.size() + 2);
        FText.push_back(u'"');
        FText += ToolPath;
        FText.push_back(u'"');
    } else {
        FText = ToolPath;
    }
}

CommandLine& CommandLine::Text(std::u16string_view Option) {
    FText += Option;
    return *this;
}

CommandLine& CommandLine::TextIf(bool Condition, std::u16string_view Option) {
    if (Condition) {
        FText += Option;
    }
    return *this;
}

CommandLine& CommandLine::Option(std::string_view Name) {
    // The names are ASCII, so each char is the code unit of the same character.
    for (const char C : Name) {
        FText.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
    }
    FText.push_back(u' ');
    return *this;
}

CommandLine& CommandLine::OptionIf(bool Condition, std::string_view Name) {
    return Condition ? Option(Name) : *this;
}

CommandLine& CommandLine::Quoted(std::u16string_view Value) {
    // Most values hold neither a quote nor a backslash: one branch-free scan, then one append.
    unsigned NeedsEscapes = 0;
    for (const char16_t C : Value) {
        NeedsEscapes |= static_cast<unsigned>(C == u'"') | static_cast<unsigned>(C == u'\\');
    }
    if (NeedsEscapes == 0) {
        FText.push_back(u'"');
        FText += Value;
        FText.push_back(u'"');
        return *this;
    }
    FText.push_back(u'"');
    std::size_t Backslashes = 0;
    for (const char16_t C : Value) {
        if (C == u'\\') {
            ++Backslashes;
        } else {
            if (C == u'"') {
                // The run of backslashes and the quote itself each get one more backslash.
                FText.append(Backslashes + 1, u'\\');
            }
            Backslashes = 0;
        }
        FText.push_back(C);
    }
    // Backslashes just before the closing quote would escape it: double them.
    FText.append(Backslashes, u'\\');
    FText.push_back(u'"');
    return *this;
}

CommandLine& CommandLine::Quoted(System::WideChar Value) {
    return Quoted(std::u16string_view(&Value, 1));
}

CommandLine& CommandLine::Number(std::int64_t Value) {
    FText += System::Sysutils::IntToStr(Value);
    return *this;
}

CommandLine& CommandLine::QuotedOptionIfNotEmpty(std::string_view Name, std::u16string_view Value) {
    if (!Value.empty()) {
        Option(Name).Quoted(Value).Text(u" ");
    }
    return *this;
}

void AppendBurnHead(CommandLine& Line, System::WideChar Drive) {
    Line.Text(u" ")
        .Option(Arg::Write)
        .Option(Arg::DriveName)
        .Quoted(Drive)
        .Text(u" ")
        .Option(Arg::Real);
}

void AppendSpeed(CommandLine& Line, std::uint16_t Speed) {
    Line.Option(Arg::Speed).Number(Speed).Text(u" ");
}

void AppendExistingEntries(CommandLine& Line, const System::Classes::TStrings& Entries,
                           HostServices& Host, const EntryLeftOutHandler& LeftOut) {
    const int Count = Entries.Count();
    // Room for every entry at once (an upper bound: missing entries are left out), so that a long
    // list is not copied again and again as the line grows.
    std::size_t Room = 0;
    for (int I = 0; I < Count; ++I) {
        Room += Entries.Strings(I).size() + 5;
    }
    Line.Reserve(Room);
    for (int I = 0; I < Count; ++I) {
        const System::UnicodeString& Entry = Entries.Strings(I);
        if (!Host.FileExists(Entry) && !Host.DirectoryExists(Entry)) {
            if (LeftOut) {
                LeftOut(Entry);
            }
            continue;
        }
        if (Entry.starts_with(u'-')) {
            // A file named like a switch (a last entry "--force_erase_disk" would erase the disc)
            // is written as a path relative to the working folder, which no tool reads as one.
            const char16_t Here[] = {u'.', System::Sysutils::PathDelim};
            Line.Quoted(System::UnicodeString(std::u16string_view(Here, 2)) + Entry);
        } else {
            Line.Quoted(Entry);
        }
        Line.Text(u" ");
    }
}

bool CanBeCarried(std::u16string_view CommandLineText) noexcept {
    // A branch-free scan the compiler vectorises; the line can be megabytes long.
    unsigned HasNul = 0;
    for (const char16_t C : CommandLineText) {
        HasNul |= static_cast<unsigned>(C == u'\0');
    }
    return HasNul == 0;
}

} // namespace Queltburner
