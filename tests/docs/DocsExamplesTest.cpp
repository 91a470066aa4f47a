// The code the documents show is kept as files under examples/, which the test suite builds and
// runs (RunDocsExamples.cmake); a document quotes such a file whole, in a fenced block right
// after a line "<!-- file: examples/NAME/FILE -->". These cases hold every quote to its file and
// refuse C++ or CMake quoted from nowhere, so a document cannot drift from the code; and
// they hold the documents' links to the files and headings they name, as the pages point at each
// other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path SourceRoot() {
    return QUELT_SOURCE_DIR;
}

std::string ReadText(const fs::path& File) {
    std::ifstream In(File, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

// README.md, CONTRIBUTING.md and every page under docs/.
std::vector<fs::path> Documents() {
    std::vector<fs::path> Found{SourceRoot() / "README.md", SourceRoot() / "CONTRIBUTING.md"};
    for (const auto& Entry : fs::directory_iterator(SourceRoot() / "docs")) {
        if (Entry.path().extension() == ".md") {
            Found.push_back(Entry.path());
        }
    }
    return Found;
}

struct CodeBlock {
    std::string Where;    // document:line of the opening fence
    std::string Language; // after the opening fence: cpp, cmake, sh, text, ...
    std::string Quoted;   // the file named by the marker line before it, or empty
    std::string Text;     // every line between the fences, each with its line end
};

std::vector<CodeBlock> CodeBlocksOf(const fs::path& Document) {
    static const std::regex Marker(R"(<!-- file: (\S+) -->)");
    std::vector<CodeBlock> Blocks;
    std::istringstream In(ReadText(Document));
    std::string Previous;
    bool InBlock = false;
    int Number = 0;
    for (std::string Line; std::getline(In, Line); Previous = Line) {
        ++Number;
        if (Line.rfind("```", 0) != 0) {
            if (InBlock) {
                Blocks.back().Text += Line + "\n";
            }
            continue;
        }
        InBlock = !InBlock;
        if (InBlock) {
            std::smatch Match;
            const std::string Quoted =
                std::regex_match(Previous, Match, Marker) ? Match[1].str() : std::string();
            Blocks.push_back({Document.filename().string() + ":" + std::to_string(Number),
                              Line.substr(3), Quoted, ""});
        }
    }
    EXPECT_FALSE(InBlock) << Document << " ends inside a code block";
    return Blocks;
}

TEST(DocsExamples, EveryQuoteIsItsFileWhole) {
    int Quotes = 0;
    for (const fs::path& Document : Documents()) {
        for (const CodeBlock& Block : CodeBlocksOf(Document)) {
            if (!Block.Quoted.empty()) {
                ++Quotes;
                EXPECT_EQ(Block.Text, ReadText(SourceRoot() / Block.Quoted))
                    << Block.Where << " quotes " << Block.Quoted;
            }
        }
    }
    EXPECT_GE(Quotes, 6); // the first example's two files and output, and the other examples
}

TEST(DocsExamples, EveryCodeBlockIsAnExampleTheSuiteBuilds) {
    for (const fs::path& Document : Documents()) {
        for (const CodeBlock& Block : CodeBlocksOf(Document)) {
            if (Block.Language == "cpp" || Block.Language == "cmake") {
                EXPECT_EQ(Block.Quoted.rfind("examples/", 0), 0U)
                    << Block.Where << ": a " << Block.Language
                    << " block that is no file under examples/";
            }
        }
    }
}

// The anchors a page's headings get, as GitHub makes them: lower case, blanks as dashes, and
// every other character but letters, digits, '-' and '_' left out.
std::vector<std::string> AnchorsOf(const fs::path& Page) {
    std::vector<std::string> Anchors;
    std::istringstream In(ReadText(Page));
    for (std::string Line; std::getline(In, Line);) {
        if (Line.rfind('#', 0) != 0) {
            continue;
        }
        std::string Anchor;
        for (const char C : Line.substr(Line.find_first_not_of('#'))) {
            if (C == ' ') {
                Anchor += Anchor.empty() ? "" : "-";
            } else if (std::isalnum(static_cast<unsigned char>(C)) != 0 || C == '-' || C == '_') {
                Anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
            }
        }
        Anchors.push_back(Anchor);
    }
    return Anchors;
}

TEST(DocsExamples, EveryLocalLinkNamesAFileAndHeadingThatExist) {
    static const std::regex Link(R"(\]\(([^)#:\s]+)(?:#([^)]*))?\))");
    for (const fs::path& Document : Documents()) {
        const std::string Text = ReadText(Document);
        for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Link);
             It != std::sregex_iterator(); ++It) {
            const fs::path Target = Document.parent_path() / (*It)[1].str();
            ASSERT_TRUE(fs::exists(Target)) << Document.filename() << " links " << (*It)[1];
            if ((*It)[2].matched) {
                const auto Anchors = AnchorsOf(Target);
                EXPECT_NE(std::find(Anchors.begin(), Anchors.end(), (*It)[2].str()), Anchors.end())
                    << Document.filename() << " links " << (*It)[0] << ", a heading "
                    << Target.filename() << " does not have";
            }
        }
    }
}

} // namespace
