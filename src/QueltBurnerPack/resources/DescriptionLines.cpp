#include "DescriptionLines.hpp"
#include "ResourceDescriptions.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace QueltResources {

LineReader::LineReader(const std::filesystem::path& File) : FName(File.filename().string()) {
    std::ifstream In(File, std::ios::binary);
    if (!In) {
        throw DescriptionError(File.string() + ": cannot be read");
    }
    std::stringstream Text;
    Text << In.rdbuf();
    FText = Text.str();
}

bool LineReader::Next() {
    while (FPos < FText.size()) {
        const std::size_t End = std::min(FText.find('\n', FPos), FText.size());
        FLine = std::string_view(FText).substr(FPos, End - FPos);
        FPos = End + 1;
        ++FNumber;
        if (!FLine.empty() && FLine.back() == '\r') {
            FLine.remove_suffix(1);
        }
        const std::string_view Content = Trim(FLine);
        if (Content.empty() || Content.front() == '#') {
            continue;
        }
        const bool Printable = std::all_of(FLine.begin(), FLine.end(), [](char C) {
            const auto Code = static_cast<unsigned char>(C);
            return Code == '\t' || (Code >= 0x20 && Code <= 0x7E);
        });
        if (!Printable) {
            Fail("only printable ASCII text is accepted");
        }
        return true;
    }
    return false;
}

void LineReader::Fail(const std::string& Message) const {
    throw DescriptionError(FName + ":" + std::to_string(FNumber) + ": " + Message);
}

void LineReader::FailFile(const std::string& Message) const {
    throw DescriptionError(FName + ": " + Message);
}

std::string_view Trim(std::string_view Text) {
    const std::size_t First = Text.find_first_not_of(" \t");
    if (First == std::string_view::npos) {
        return {};
    }
    return Text.substr(First, Text.find_last_not_of(" \t") - First + 1);
}

std::string_view FirstWord(std::string_view Text, std::string_view& Rest) {
    Text = Trim(Text);
    const std::size_t End = std::min(Text.find_first_of(" \t"), Text.size());
    Rest = Trim(Text.substr(End));
    return Text.substr(0, End);
}

std::vector<std::string_view> Words(std::string_view Text) {
    std::vector<std::string_view> Result;
    for (std::string_view Rest = Trim(Text); !Rest.empty();) {
        Result.push_back(FirstWord(Rest, Rest));
    }
    return Result;
}

unsigned long Number(const LineReader& Reader, std::string_view Text, unsigned long Max) {
    std::string_view Digits = Text;
    int Base = 10;
    if (Digits.starts_with("0x") || Digits.starts_with("0X")) {
        Digits.remove_prefix(2);
        Base = 16;
    }
    unsigned long Value = 0;
    const char* const Last = Digits.data() + Digits.size();
    const auto [End, Error] = std::from_chars(Digits.data(), Last, Value, Base);
    if (Digits.empty() || Error != std::errc() || End != Last || Value > Max) {
        Reader.Fail("'" + std::string(Text) + "' is not a number from 0 to " + std::to_string(Max));
    }
    return Value;
}

} // namespace QueltResources
