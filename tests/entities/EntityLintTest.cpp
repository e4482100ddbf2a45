// The lint of entity texts: what would make the engine's parser stop or guess.

#include "entities/EntityLint.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using E = LintSeverity;

const char* const kNoBlock = "no entity block: a map without its worldspawn block does not load";

struct LintCase {
    const char* name;
    std::string text;
    std::vector<LintFinding> expected;
};

void PrintTo(const LintCase& lintCase, std::ostream* out) {
    *out << lintCase.name;
}

const std::vector<LintCase> kLintCases = {
    {"closing brace without opening",
     "{\n\"classname\" \"a\"\n}\n}\n",
     {{4, E::Error, "unbalanced braces: \"}\" without an opening \"{\""}}},
    {"block never closed",
     "{\n\"classname\" \"a\"\n}\n{\n\"classname\" \"b\"\n",
     {{4, E::Error, "unbalanced braces: the block opened here has no \"}\""}}},
    {"block opened inside a block",
     "{\n\"classname\" \"a\"\n{\n\"classname\" \"b\"\n}\n",
     {{3, E::Error, "unbalanced braces: \"{\" inside the block opened at line 1"}}},
    {"unterminated quote",
     "{\n\"classname\" \"a\"\n\"origin\" \"1 2 3\n}\n",
     {{3, E::Error, "unterminated quote"}}},
    {"unterminated quote before the classname",
     "{\n\"origin\n\"classname\" \"a\"\n}\n",
     {{2, E::Error, "unterminated quote"}}},
    {"text outside any block",
     "{\n\"classname\" \"a\"\n}\nlight\n\"k\" \"v\"\n",
     {{4, E::Error, "text outside any block"}, {5, E::Error, "text outside any block"}}},
    {"block without classname",
     "{\n\"classname\" \"a\"\n}\n{\n\"origin\" \"0 0 0\"\n}\n",
     {{4, E::Error, "block without \"classname\""}}},
    {"key without value",
     "{\n\"classname\" \"a\"\n\"target\"\n\"t\" \"u\"\n}\n",
     {{3, E::Error, "not a \"key\" \"value\" pair"}}},
    {"three strings",
     "{\n\"classname\" \"a\" \"b\"\n}\n",
     {{2, E::Error, "not a \"key\" \"value\" pair"}, {1, E::Error, "block without \"classname\""}}},
    {"bare words",
     "{\nclassname light\n\"origin\" \"0 0 0\"\n}\n",
     {{1, E::Error, "block without \"classname\""}, {2, E::Error, "not a \"key\" \"value\" pair"}}},
    {"duplicate key",
     "{\n\"classname\" \"a\"\n\"origin\" \"1\"\n\"origin\" \"2\"\n}\n",
     {{4, E::Warning, "duplicate key \"origin\" in one block (first at line 3)"}}},
    {"NUL inside",
     std::string("{\n\"classname\" \"a\"\n}\n\0{\n\"x\" \"y\"\n}\n", 30),
     {{4, E::Error, "NUL byte inside the text: a map's entity text ends here"}}},
    {"lone CR between pairs, as the editor shows them",
     "{\n\"classname\" \"a\"\r\"note\" \"x\"\r\"k\" \"v\" \"w\"\n}\n",
     {{2, E::Error, "not a \"key\" \"value\" pair"}}},
    {"CR LF, braces and comments inside values, pair and brace on one line",
     "// a comment\r\n{\r\n\"message\" \"{ } //\"\r\n\"classname\" \"a\" }\r\n",
     {}},
    {"empty text", "", {{0, E::Error, kNoBlock}}},
    {"only blank lines and a comment", "\r\n\n  // nothing\n\t\n", {{0, E::Error, kNoBlock}}},
    {"only text outside any block",
     "\"classname\" \"worldspawn\"\n",
     {{0, E::Error, kNoBlock}, {1, E::Error, "text outside any block"}}},
    {"NUL before the first block",
     std::string(1, '\0') + "{\n\"classname\" \"worldspawn\"\n}\n",
     {{0, E::Error, kNoBlock},
      {1, E::Error, "NUL byte inside the text: a map's entity text ends here"}}},
    {"a broken quote is the cause of what follows it on its line",
     "{\n\"classname\" \"a\"\n}\n} \"abc\n",
     {{4, E::Error, "unterminated quote"}}},
    {"nested braces on one line",
     "{{{{\"classname\" \"a\"}}}}\n",
     {{1, E::Error, "unbalanced braces: \"{\" inside the block opened at line 1"}}},
};

class EntityLintCase : public ::testing::TestWithParam<LintCase> {};

TEST_P(EntityLintCase, FindsEachProblemAtItsLine) {
    std::vector<LintFinding> expected = GetParam().expected;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
    EXPECT_EQ(LintEntityText(GetParam().text), expected);
}

// The three ways of reading a text agree: findings alone, blocks alone, both.
TEST_P(EntityLintCase, ReadsTheSameBlocksAndFindingsWhateverItKeeps) {
    const ParsedEntityText both = ParseEntityText(GetParam().text);
    const ParsedEntityText blocks = ParseEntityBlocks(GetParam().text);
    EXPECT_EQ(both.findings, LintEntityText(GetParam().text));
    EXPECT_TRUE(blocks.findings.empty());
    ASSERT_EQ(both.entities.size(), blocks.entities.size());
    for (std::size_t i = 0; i < both.entities.size(); ++i) {
        EXPECT_EQ(both.entities[i].line, blocks.entities[i].line);
        ASSERT_EQ(both.entities[i].keys.size(), blocks.entities[i].keys.size());
        for (std::size_t k = 0; k < both.entities[i].keys.size(); ++k) {
            EXPECT_EQ(both.entities[i].keys[k].key, blocks.entities[i].keys[k].key);
            EXPECT_EQ(both.entities[i].keys[k].value, blocks.entities[i].keys[k].value);
            EXPECT_EQ(both.entities[i].keys[k].line, blocks.entities[i].keys[k].line);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EntityLint, EntityLintCase, ::testing::ValuesIn(kLintCases),
                         [](const auto& test) { return testing::TestName(test.param.name); });

TEST(EntityLint, FindsNothingInAWellFormedText) {
    EXPECT_TRUE(LintEntityText(fixtures::MakeEntityText(200)).empty());
    EXPECT_TRUE(LintEntityText("{\n\"classname\" \"worldspawn\"\n}").empty());
}

// The keys point into the text; a text cut at a NUL says where.
TEST(EntityLint, KeepsViewsIntoTheTextAndFindsWhereANulCutsIt) {
    const std::string text = "{\n\"classname\" \"light\"\n}\n";
    const ParsedEntityText parsed = ParseEntityBlocks(text);
    ASSERT_EQ(parsed.entities.size(), 1u);
    EXPECT_EQ(parsed.entities[0].keys[0].value.data(), text.data() + 15);

    EXPECT_FALSE(FindTextCut(text));
    const std::string cut = std::string("{\n}\n{\n") + '\0' + "}\n";
    ASSERT_TRUE(FindTextCut(cut));
    EXPECT_EQ(FindTextCut(cut)->offset, 6u);
    EXPECT_EQ(FindTextCut(cut)->line, 4);
}

TEST(EntityLint, KeepsTheBlocksAndPairsItRead) {
    const ParsedEntityText parsed =
        ParseEntityText("{\n\"classname\" \"light\"\n\"origin\" \"1 2 3\"\n}\n{\n}\n");
    ASSERT_EQ(parsed.entities.size(), 2u);
    EXPECT_EQ(parsed.entities[0].ValueOf("origin"), "1 2 3");
    EXPECT_EQ(parsed.entities[0].keys[1].line, 3);
    EXPECT_EQ(parsed.entities[1].line, 5);
    EXPECT_EQ(parsed.entities[1].Find("classname"), nullptr);
}

}  // namespace
}  // namespace entorra
