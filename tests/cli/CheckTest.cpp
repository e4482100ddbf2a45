// check: the lint of entity texts and the checks of map files.

#include <gtest/gtest.h>

#include "base/ByteOrder.h"
#include "bsp/BspFormat.h"
#include "cli/Commands.h"
#include "entities/EntityLint.h"
#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

using E = LintSeverity;

struct LintCase {
    const char* name;
    std::string text;
    std::vector<LintFinding> expected;
};

TEST(EntityLint, FindsEachProblemAtItsLine) {
    const std::vector<LintCase> cases = {
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
         {{2, E::Error, "not a \"key\" \"value\" pair"},
          {1, E::Error, "block without \"classname\""}}},
        {"bare words",
         "{\nclassname light\n\"origin\" \"0 0 0\"\n}\n",
         {{1, E::Error, "block without \"classname\""},
          {2, E::Error, "not a \"key\" \"value\" pair"}}},
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
    };
    for (const LintCase& lintCase : cases) {
        std::vector<LintFinding> expected = lintCase.expected;
        std::stable_sort(
            expected.begin(), expected.end(),
            [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
        EXPECT_EQ(LintEntityText(lintCase.text), expected) << lintCase.name;
    }
    EXPECT_TRUE(LintEntityText(fixtures::MakeEntityText(200)).empty());
    EXPECT_TRUE(LintEntityText("").empty());
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

class CheckCommand : public testing::CliTest {};

TEST_F(CheckCommand, ReportsPerMapFailsOnErrorsAndWritesNothing) {
    const std::string good = Map("maps/good.bsp");
    const std::string bad = Map("maps/noclass.bsp", "{\n\"classname\" \"worldspawn\"\n}\n{\n}\n");
    WriteText(dir.File("maps/edit.ent"), "{\n\"classname\" \"a\"\n\"a\" \"1\"\n\"a\" \"2\"\n}\n");
    const testing::FileState before = testing::StateOf(bad);

    EXPECT_EQ(RunCheck(Context(), {dir.File("maps"), dir.File("maps/edit.ent")}), 1);
    EXPECT_EQ(out.str(), good + ": ok\n" + bad + ":4: error: block without \"classname\"\n" + bad +
                             ": 1 error(s), 0 warning(s)\n" + dir.File("maps/edit.ent") +
                             ":4: warning: duplicate key \"a\" in one block (first at line 3)\n" +
                             dir.File("maps/edit.ent") + ": 0 error(s), 1 warning(s)\n");
    EXPECT_EQ(testing::StateOf(bad), before);

    EXPECT_EQ(RunCheck(Context(1, true), {bad, good}), 1);
    const nlohmann::json maps = Json();
    EXPECT_EQ(maps[0]["ok"], false);
    EXPECT_EQ(maps[0]["errors"], 1);
    EXPECT_EQ(maps[0]["findings"][0], nlohmann::json({{"line", 4},
                                                      {"severity", "error"},
                                                      {"message", "block without \"classname\""}}));
    EXPECT_EQ(maps[1]["ok"], true);
    EXPECT_EQ(maps[1]["findings"].size(), 0u);

    // A map the map file object refuses is still checked.
    fixtures::WriteFileBytes(dir.File("v31.bsp"), fixtures::CMapBuilder().Version(31).Build());
    EXPECT_EQ(RunCheck(Context(), {dir.File("v31.bsp")}), 1);
    EXPECT_NE(out.str().find("error: BSP is version 31, not 30"), std::string::npos);
    sink.messages.clear();
    EXPECT_EQ(RunCheck(Context(), {dir.File("none.bsp")}), 1);
    // One message, from the map file object.
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.Last(), "Error openning the file: " + dir.File("none.bsp") +
                               ".\nMake sure it isn't opened in another program.");
}

TEST_F(CheckCommand, AFindingInsideTheEntityTextHasItsLine) {
    fixtures::Bytes image = fixtures::MakeMap(testing::kEntities);
    // The NUL just outside the lump's length: the engine would read past the text.
    const std::int32_t length = fixtures::HeaderWord(image, LumpLengthField(LUMP_ENTITIES));
    WriteInt32LE(image, LumpLengthField(LUMP_ENTITIES), length - 1);
    fixtures::WriteFileBytes(dir.File("m.bsp"), image);
    EXPECT_EQ(RunCheck(Context(), {dir.File("m.bsp")}), 1);
    EXPECT_EQ(out.str(),
              Format("%s:13: error: a NUL missing: the entity lump has none within its %d bytes\n"
                     "%s: 1 error(s), 0 warning(s)\n",
                     dir.File("m.bsp").c_str(), length - 1, dir.File("m.bsp").c_str()));
}

}  // namespace
}  // namespace entorra::cli
