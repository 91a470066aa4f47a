// The framework stand-in: ownership, string lists and the text helpers the component relies on.
#include "System.Classes.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using System::UnicodeString;
using System::Classes::TComponent;
using System::Classes::TStringList;

// Counts destructions so that ownership can be observed.
class Tracked : public TComponent {
public:
    Tracked(TComponent* Owner, std::vector<int>& Log, int Id)
        : TComponent(Owner), FLog(Log), FId(Id) {}
    ~Tracked() override { FLog.push_back(FId); }

private:
    std::vector<int>& FLog;
    int FId;
};

TEST(ComponentOwnership, OwnerDestroysOwnedComponentsNewestFirst) {
    std::vector<int> Destroyed;
    auto* Owner = new Tracked(nullptr, Destroyed, 0);
    new Tracked(Owner, Destroyed, 1);
    auto* Second = new Tracked(Owner, Destroyed, 2);
    new Tracked(Second, Destroyed, 3); // owned by an owned component
    EXPECT_EQ(Owner->ComponentCount(), 2);
    delete Owner;
    // Each logs as its own destructor starts; the owned ones follow, newest first.
    EXPECT_EQ(Destroyed, (std::vector<int>{0, 2, 3, 1}));
}

TEST(ComponentOwnership, ComponentDeletedFirstLeavesItsOwner) {
    std::vector<int> Destroyed;
    Tracked Owner(nullptr, Destroyed, 0);
    auto* First = new Tracked(&Owner, Destroyed, 1);
    auto* Second = new Tracked(&Owner, Destroyed, 2);
    delete First;
    ASSERT_EQ(Owner.ComponentCount(), 1);
    EXPECT_EQ(Owner.Components(0), Second);
    EXPECT_EQ(Second->Owner(), &Owner);
    EXPECT_THROW((void)Owner.Components(1), std::out_of_range);
}

TEST(StringList, KeepsOrderAndDuplicates) {
    TStringList List;
    EXPECT_EQ(List.Add(u"b"), 0);
    EXPECT_EQ(List.Add(u"a"), 1);
    EXPECT_EQ(List.Add(u"b"), 2);
    List.Insert(0, u"c");
    List.Insert(4, u"z");
    ASSERT_EQ(List.Count(), 5);
    EXPECT_EQ(List[0], u"c");
    EXPECT_EQ(List.Strings(4), u"z");
    EXPECT_EQ(List.IndexOf(u"b"), 1);
    EXPECT_EQ(List.IndexOf(u"B"), -1);
    List.Delete(1);
    EXPECT_EQ(List[1], u"a");
    EXPECT_EQ(List.IndexOf(u"b"), 2);
    List.SetStrings(0, u"first");
    EXPECT_EQ(List[0], u"first");
    List.Clear();
    EXPECT_EQ(List.Count(), 0);
}

TEST(StringList, IndexOutsideTheListThrows) {
    TStringList List;
    List.Add(u"x");
    EXPECT_THROW((void)List.Strings(1), System::Classes::EStringListError);
    EXPECT_THROW((void)List.Strings(-1), System::Classes::EStringListError);
    EXPECT_THROW(List.Delete(1), System::Classes::EStringListError);
    EXPECT_THROW(List.Insert(2, u"y"), System::Classes::EStringListError);
    EXPECT_THROW(List.SetStrings(-1, u"y"), System::Classes::EStringListError);
    EXPECT_EQ(List.Count(), 1);
}

TEST(StringList, AssignCopiesInOrderAndIgnoresNilAndItself) {
    TStringList Source;
    Source.Add(u"one");
    Source.Add(u"two");
    Source.Add(u"one");
    TStringList Target;
    Target.Add(u"old");
    Target.Assign(&Source);
    Source.SetStrings(0, u"changed");
    ASSERT_EQ(Target.Count(), 3);
    EXPECT_EQ(Target[0], u"one");
    EXPECT_EQ(Target[1], u"two");
    EXPECT_EQ(Target[2], u"one");

    Target.Assign(nullptr);
    EXPECT_EQ(Target.Count(), 3);
    Target.Assign(&Target);
    EXPECT_EQ(Target.Count(), 3);
}

TEST(Trim, RemovesCharactersUpToBlankAtBothEnds) {
    const struct {
        UnicodeString In;
        UnicodeString Out;
    } Rows[] = {
        {u"", u""},
        {u"   ", u""},
        {u"  The Players ", u"The Players"},
        {u"\t\r\n\x01x y\x1f\x20", u"x y"},
        {UnicodeString(u"\0a\0", 3), u"a"},
        {u"\x21!\x21", u"\x21!\x21"},
        {u"\u00a0x\u00a0", u"\u00a0x\u00a0"}, // no-break space is above U+0020
        {u"\u3000x", u"\u3000x"},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(System::Trim(Row.In), Row.Out);
    }
}

TEST(IntToStr, DecimalWithoutLeadingZerosOrPlus) {
    const struct {
        std::int64_t In;
        UnicodeString Out;
    } Rows[] = {
        {0, u"0"},
        {4, u"4"},
        {65535, u"65535"},
        {-1, u"-1"},
        {2147483647, u"2147483647"},
        {INT64_MIN, u"-9223372036854775808"},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(System::IntToStr(Row.In), Row.Out);
    }
}

TEST(Utf8Conversion, StrictFormsRefuseWhatTheyCannotCarry) {
    using System::Sysutils::TryUTF8Encode;
    using System::Sysutils::TryUTF8ToString;
    EXPECT_EQ(TryUTF8Encode(u"a\U0001F600\u00e9"),
              std::optional<std::string>("a\xF0\x9F\x98\x80\xC3\xA9"));
    EXPECT_EQ(TryUTF8Encode(UnicodeString(1, u'\xD800')), std::nullopt);
    EXPECT_EQ(TryUTF8Encode(UnicodeString(u"x") + u'\xDC00'), std::nullopt);
    EXPECT_EQ(TryUTF8ToString("\xC0\xAF"), std::nullopt);         // overlong
    EXPECT_EQ(TryUTF8ToString("\xED\xA0\x80"), std::nullopt);     // encoded surrogate
    EXPECT_EQ(TryUTF8ToString("\xF4\x90\x80\x80"), std::nullopt); // past U+10FFFF
    EXPECT_EQ(TryUTF8ToString("\xE2\x82"), std::nullopt);         // cut short
    EXPECT_EQ(TryUTF8ToString("\xF0\x9F\x98\x80"), std::optional<UnicodeString>(u"\U0001F600"));
    EXPECT_EQ(System::Sysutils::UTF8Encode(UnicodeString(1, u'\xD800')), "\xEF\xBF\xBD");
}

// Decoding widens runs of ASCII eight bytes at a time: every character of every width and every
// ill-formed byte is placed right wherever it falls against those eight-byte steps.
TEST(Utf8Conversion, EveryCharacterLandsInPlaceWhateverItsOffset) {
    const struct {
        const char* Bytes;
        UnicodeString Text; // lenient
    } Pieces[] = {
        {"\xC3\xA9", u"\u00e9"}, {"\xE2\x82\xAC", u"\u20ac"}, {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xFF", u"\uFFFD"},     {"\xE2\x82", u"\uFFFD"},
    };
    for (const auto& Piece : Pieces) {
        for (std::size_t Before = 0; Before <= 17; ++Before) {
            for (const std::size_t After : {0U, 1U, 7U, 8U, 9U, 16U}) {
                const std::string Bytes =
                    std::string(Before, 'a') + Piece.Bytes + std::string(After, 'z');
                const UnicodeString Expected =
                    UnicodeString(Before, u'a') + Piece.Text + UnicodeString(After, u'z');
                EXPECT_EQ(System::Sysutils::UTF8ToString(Bytes), Expected)
                    << Before << " + " << After;
            }
        }
    }
    // NUL bytes are characters like any other.
    EXPECT_EQ(System::Sysutils::UTF8ToString(std::string(20, '\0')), UnicodeString(20, u'\0'));
}

TEST(TextFileDecoding, MarkedUtf16AndUtf8WithOrWithoutMarkAreReadLeniently) {
    using System::Sysutils::DecodeTextFile;
    const struct {
        const char* Case;
        std::string Bytes;
        UnicodeString Text;
    } Rows[] = {
        {"UTF-8 without a mark", "a\xC3\xA9\n", u"a\u00e9\n"},
        {"UTF-8 mark dropped", "\xEF\xBB\xBFx", u"x"},
        {"UTF-16LE after its mark", std::string("\xFF\xFEO\0\x01\xD8\x00\xDC", 8), u"O\U00010400"},
        {"torn last byte", std::string("\xFF\xFEO\0P", 5), u"O\uFFFD"},
        {"unpaired surrogate", std::string("\xFF\xFE\x00\xD8x\0", 6), u"\uFFFDx"},
        {"low surrogate first", std::string("\xFF\xFE\x00\xDC\x00\xD8", 6), u"\uFFFD\uFFFD"},
        {"ill-formed UTF-8",
         "a\xFF"
         "b",
         u"a\uFFFDb"},
        {"a big-endian mark is UTF-8 text", "\xFE\xFF", u"\uFFFD\uFFFD"},
        {"empty", "", u""},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(DecodeTextFile(Row.Bytes), Row.Text) << Row.Case;
    }
}

TEST(TrimBlanks, OnlySpacesAndTabsAtBothEnds) {
    using System::Sysutils::TrimBlanks;
    EXPECT_EQ(TrimBlanks(std::u16string_view(u" \t a b\t ")), u"a b");
    EXPECT_EQ(TrimBlanks(std::string_view("\na\r")), "\na\r");
    EXPECT_EQ(TrimBlanks(std::string_view(" \t ")), "");
}

} // namespace

namespace {

// A file name's bytes come back exactly from the text they became, whatever they are.
TEST(FileNameConversion, EveryByteStringComesBackExactly) {
    using System::Sysutils::FileNameToString;
    using System::Sysutils::StringToFileName;
    struct Row {
        const char* Name;
        std::string Bytes;
        std::u16string Text;
    };
    const Row Rows[] = {
        {"ASCII", "notes.txt", u"notes.txt"},
        {"UTF-8", "caf\xC3\xA9 \xF0\x9F\x8E\xB5", u"caf\u00E9 \U0001F3B5"},
        {"Latin-1", "caf\xE9.txt", u"caf\xDCE9.txt"},
        {"a cut sequence", "a\xE2\x82", u"a\xDCE2\xDC82"},
        {"an overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
        {"an encoded surrogate", "\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"a stray continuation",
         "\x80"
         "a",
         u"\xDC80"
         u"a"},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(FileNameToString(R.Bytes), R.Text);
        EXPECT_EQ(StringToFileName(R.Text), R.Bytes);
    }
    // Random names, short sequences of the bytes that make UTF-8 interesting.
    std::mt19937 Random(7);
    const unsigned char Pool[] = {'a', 0x80, 0xBF, 0xC2, 0xC3, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xFF};
    for (int Round = 0; Round < 20000; ++Round) {
        std::string Bytes(Random() % 8, '\0');
        for (char& Byte : Bytes) {
            Byte = static_cast<char>(Pool[Random() % sizeof Pool]);
        }
        ASSERT_EQ(StringToFileName(FileNameToString(Bytes)), Bytes) << Round;
    }
    // No byte string gives a lone surrogate outside the escapes: it has no bytes of its own.
    EXPECT_EQ(StringToFileName(u"a\xD800"
                               u"b\xDC41"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

// A path handed to the system is the name of exactly one byte string: text that FileNameToString
// gives for no bytes names no file, rather than a different one.
TEST(FileNameConversion, PathsForTheSystemAreRefusedUnlessExact) {
    using System::Sysutils::TryAppendFileNameWithoutNul;
    struct Row {
        const char* Name;
        std::u16string Text;
        std::optional<std::string> Bytes; // none: refused
    };
    const Row Rows[] = {
        {"ASCII", u"/tmp/a.txt", "/tmp/a.txt"},
        {"UTF-8", u"/caf\u00E9 \U0001F3B5", "/caf\xC3\xA9 \xF0\x9F\x8E\xB5"},
        {"Latin-1", u"/caf\xDCE9.txt", "/caf\xE9.txt"},
        {"broken UTF-8", u"/\xDCC3(.txt", "/\xC3(.txt"},
        {"escapes at the end", u"a\xDCFF\xDCFE", "a\xFF\xFE"},
        {"a NUL", std::u16string(u"a\0b", 3), std::nullopt},
        {"a NUL beside an escape", std::u16string(u"\xDCE9\0", 2), std::nullopt},
        {"a lone high surrogate", u"a\xD800", std::nullopt},
        {"a low surrogate outside the escapes", u"a\xDC41", std::nullopt},
        {"escapes that form a character", u"caf\xDCC3\xDCA9", std::nullopt},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        std::string Out = "kept:";
        EXPECT_EQ(TryAppendFileNameWithoutNul(Out, R.Text), R.Bytes.has_value());
        EXPECT_EQ(Out, "kept:" + R.Bytes.value_or(""));
    }
}

} // namespace
