// Reading the description files line by line, with messages that point at the offending line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace QueltResources {

// The lines of a description file that carry something: comment lines ('#' first) and blank lines
// are skipped. Every line handed out is printable ASCII.
class LineReader {
public:
    explicit LineReader(const std::filesystem::path& File);

    bool Next();
    std::string_view Line() const { return FLine; }

    // Throw DescriptionError naming the file and the current line, or the file alone.
    [[noreturn]] void Fail(const std::string& Message) const;
    [[noreturn]] void FailFile(const std::string& Message) const;

private:
    std::string FName;
    std::string FText;
    std::size_t FPos = 0;
    int FNumber = 0;
    std::string_view FLine;
};

std::string_view Trim(std::string_view Text);
// The first word of Text; Rest receives what follows it, trimmed.
std::string_view FirstWord(std::string_view Text, std::string_view& Rest);
std::vector<std::string_view> Words(std::string_view Text);
// A decimal or 0x-prefixed hexadecimal number from 0 to Max, or a failure on the current line.
unsigned long Number(const LineReader& Reader, std::string_view Text, unsigned long Max);

} // namespace QueltResources
