// What the editor marks: the engine lint of the text as a save writes it, carried back to the
// editor's bytes, and the words of the count beside the census.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/LintMarks.h"
#include "entities/EntityText.h"

namespace entorra::testing {
namespace {

// The bytes a mark underlines.
std::string Underlined(std::string_view text, int start, int end) {
    return std::string(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

struct Marked {
    LintSeverity severity;
    std::string underlined;
    friend bool operator==(const Marked&, const Marked&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Marked& marked) {
        return out << LintSeverityName(marked.severity) << " '" << marked.underlined << "'";
    }
};

std::vector<Marked> MarkedIn(std::string_view text) {
    std::vector<Marked> marked;
    for (const LintMark& mark : LintEditorText(text).marks) {
        marked.push_back({mark.severity, Underlined(text, mark.start, mark.end)});
    }
    return marked;
}

struct RangeCase {
    const char* name;
    const char* text;
    std::size_t offset;
    const char* underlined;
};

class LintRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(LintRange, IsTheTokenAtTheOffsetUpToTheEndOfItsLine) {
    const std::string_view text = GetParam().text;
    const MarkedRange range = MarkedRangeAt(text, GetParam().offset);
    EXPECT_EQ(Underlined(text, range.start, range.end), GetParam().underlined);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, LintRange,
    ::testing::Values(RangeCase{"QuotedString", "\"key\" \"value\"\r\n", 6, "\"value\""},
                      RangeCase{"UnterminatedQuote", "\"key\" \"val ue\r\nnext", 6, "\"val ue"},
                      RangeCase{"Brace", "{\r\n", 0, "{"},
                      RangeCase{"BraceBeforeText", "}x\r\n", 0, "}"},
                      RangeCase{"Word", "stray words\r\n", 0, "stray"},
                      RangeCase{"WordInsideAValue", "\"a\\b c\"", 2, "\\b"},
                      RangeCase{"WordBeforeAQuote", "\"a\\\"\"", 2, "\\"},
                      RangeCase{"AtALineEnd", "\"key\"\r\n", 5, "\""},
                      RangeCase{"AtAnEmptyLine", "a\r\n\r\nb", 3, "\r"},
                      RangeCase{"AfterWhitespace", " \t\"key\"", 0, "\"key\""},
                      RangeCase{"AtWhitespaceEndingALine", "a \r\n", 1, " "},
                      RangeCase{"PastTheEnd", "{ }", 9, "}"}),
    [](const ::testing::TestParamInfo<RangeCase>& tested) { return tested.param.name; });

TEST(LintRange, OfAnEmptyTextIsEmpty) {
    EXPECT_EQ(MarkedRangeAt("", 0), (MarkedRange{0, 0}));
}

// Three blocks, each broken another way, in the form a map holds them.
constexpr const char* kBroken =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"light\"\n\"angle\" \"-5\"\n}\n"
    "{\n\"classname\" \"info_target\"\n\"message\" \"oops\n}\n";

TEST(LintEditorText, MarksErrorsAndWarningsOnTheirBytesInTheEditorsText) {
    const std::string text = MakeEditorText(kBroken);
    const EditorLint lint = LintEditorText(text);
    ASSERT_EQ(lint.marks.size(), 3U);
    EXPECT_EQ(lint.errors, 2);
    EXPECT_EQ(lint.warnings, 1);
    const std::vector<Marked> expected = {{LintSeverity::Warning, "\"angle\""},
                                          {LintSeverity::Error, "{"},
                                          {LintSeverity::Error, "\"oops"}};
    EXPECT_EQ(MarkedIn(text), expected);
    // The block that never ends is the third; the quote stands in its last pair.
    EXPECT_EQ(lint.marks[1].start, static_cast<int>(text.rfind('{')));
    EXPECT_EQ(lint.marks[2].start, static_cast<int>(text.find("\"oops")));
    EXPECT_EQ(lint.marks[2].message,
              "unterminated quote: the engine reads the rest of the text as one string");
    EXPECT_EQ(lint.marks[0].message,
              "\"angle\" \"-5\" becomes \"angles\" \"90 0 0\" (down), not a yaw");
}

TEST(LintEditorText, LeavesTheEnginesInformationUnmarked) {
    // "angle" 90 becomes "angles" as designed; nearly every map has it.
    const std::string text = MakeEditorText(
        "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n"
        "\"angle\" \"90\"\n}\n");
    const EditorLint lint = LintEditorText(text);
    EXPECT_TRUE(lint.marks.empty());
    EXPECT_EQ(lint.errors, 0);
    EXPECT_EQ(lint.warnings, 0);
}

TEST(LintEditorText, CarriesOffsetsPastEveryDroppedCarriageReturn) {
    // A duplicate key far down a text of CR LF lines, and one after a lone CR, which stays.
    std::string file = "{\n\"classname\" \"worldspawn\"\n}\n";
    for (int block = 0; block < 50; ++block) {
        file += "{\n\"classname\" \"info_target\"\n\"targetname\" \"t" + std::to_string(block) +
                "\"\n}\n";
    }
    file += "{\n\"classname\" \"light\"\n\"style\" \"1\"\n\"style\" \"2\"\n}\n";
    std::string text = MakeEditorText(file);
    text.insert(text.find("\"style\""), "\r");
    const std::vector<Marked> expected = {{LintSeverity::Warning, "\"style\""}};
    const std::vector<Marked> marked = MarkedIn(text);
    EXPECT_EQ(marked, expected);
    const EditorLint lint = LintEditorText(text);
    ASSERT_EQ(lint.marks.size(), 1U);
    EXPECT_EQ(lint.marks[0].start, static_cast<int>(text.rfind("\"style\"")));
}

TEST(LintEditorText, CarriesOffsetsBackWhereverTheLineEndsFall) {
    // Lines of every length from 0 to 17, so that the CRs fall at every place of the words the
    // text is copied in, with bytes a bit away from a CR's value in them and some CRs on their own;
    // a duplicate key after them all is underlined where it stands.
    for (const bool loneCrs : {false, true}) {
        std::string text = "{\r\n\"classname\" \"worldspawn\"\r\n";
        for (int length = 0; length < 18; ++length) {
            std::string value(static_cast<std::size_t>(length), 'v');
            for (std::size_t at = 0; at < value.size(); at += 3) {
                value[at] = "\x8cM-"[at % 9 / 3];
            }
            text += "\"k" + std::to_string(length) + "\" \"" + value + "\"" +
                    (loneCrs && length % 3 == 0 ? "\r" : "") + "\r\n";
        }
        text += "\"k7\" \"again\"\r\n}\r\n";
        const EditorLint lint = LintEditorText(text);
        ASSERT_EQ(lint.marks.size(), 1U) << (loneCrs ? "lone CRs" : "CR LF only");
        EXPECT_EQ(lint.marks[0].severity, LintSeverity::Warning);
        EXPECT_EQ(Underlined(text, lint.marks[0].start, lint.marks[0].end), "\"k7\"");
        EXPECT_EQ(lint.marks[0].start, static_cast<int>(text.rfind("\"k7\"")));
    }
}

TEST(LintEditorText, CountsLengthsAsASaveWritesTheText) {
    // 1,000 bytes of a value across 100 lines: 1,099 bytes with the editor's CRs, which a save
    // drops, so the engine keeps the whole value.
    std::string value;
    for (int line = 0; line < 100; ++line) {
        value += std::string(9, 'x') + "\n";
    }
    const std::string file = "{\n\"classname\" \"worldspawn\"\n\"message\" \"" + value + "\"\n}\n";
    EXPECT_TRUE(MarkedIn(MakeEditorText(file)).empty());
    // One byte more than a token holds is marked.
    const std::string longer = "{\n\"classname\" \"worldspawn\"\n\"message\" \"" + value +
                               std::string(24, 'y') + "\"\n}\n";
    const std::string text = MakeEditorText(longer);
    const EditorLint lint = LintEditorText(text);
    ASSERT_FALSE(lint.marks.empty());
    EXPECT_EQ(lint.marks[0].severity, LintSeverity::Warning);
    EXPECT_EQ(lint.marks[0].start, static_cast<int>(text.find("\"xxx")));
    EXPECT_EQ(lint.marks[0].message,
              "string of 1024 bytes: the engine keeps 1023 and reads the rest as more strings, "
              "which shifts the pairs after it");
}

struct LeftOutCase {
    const char* name;
    const char* text;
    std::vector<Marked> marked;
};

class LintLeftOut : public ::testing::TestWithParam<LeftOutCase> {};

TEST_P(LintLeftOut, MarksWhatASaveLeavesOut) {
    EXPECT_EQ(MarkedIn(GetParam().text), GetParam().marked);
    for (const LintMark& mark : LintEditorText(GetParam().text).marks) {
        if (mark.severity == LintSeverity::Warning) {
            EXPECT_EQ(mark.message,
                      "Save leaves this out: the map keeps only the text from the first \"{\" to "
                      "the last \"}\"");
        }
    }
}

Marked LeftOut(const char* underlined) {
    return {LintSeverity::Warning, underlined};
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LintLeftOut,
    ::testing::Values(
        LeftOutCase{"Nothing", "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n", {}},
        LeftOutCase{
            "OnlyWhitespaceAround", " \r\n{\r\n\"classname\" \"worldspawn\"\r\n}\r\n\t\r\n", {}},
        LeftOutCase{"BeforeTheFirstBrace",
                    "junk here\r\n{\r\n\"classname\" \"worldspawn\"\r\n}\r\n",
                    {LeftOut("junk")}},
        LeftOutCase{"AfterTheLastBrace",
                    "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n\xB7\r\n",
                    {LeftOut("\xB7")}},
        // A block typed at the end without its "}" never reaches the map.
        LeftOutCase{"AnUnclosedLastBlock",
                    "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"classname\" \"light\"\r\n",
                    {LeftOut("{")}},
        // Nothing reaches the map, which then has no world.
        LeftOutCase{"NoClosingBraceAtAll",
                    "  \"classname\" \"worldspawn\"\r\n",
                    {{LintSeverity::Error, "\"classname\""}, LeftOut("\"classname\"")}},
        LeftOutCase{"Empty", "", {{LintSeverity::Error, ""}}}),
    [](const ::testing::TestParamInfo<LeftOutCase>& tested) { return tested.param.name; });

struct CountCase {
    int errors;
    int warnings;
    const char* text;
};

class LintCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(LintCount, SaysHowManyInPlainWords) {
    EXPECT_EQ(LintCountText(GetParam().errors, GetParam().warnings), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Counts, LintCount,
                         ::testing::Values(CountCase{0, 0, ""}, CountCase{1, 0, "1 error"},
                                           CountCase{2, 0, "2 errors"},
                                           CountCase{0, 1, "1 warning"},
                                           CountCase{0, 3, "3 warnings"},
                                           CountCase{2, 1, "2 errors, 1 warning"},
                                           CountCase{1, 2, "1 error, 2 warnings"}));

}  // namespace
}  // namespace entorra::testing
