#include <gtest/gtest.h>

#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

const std::string kBefore =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"light\"\n\"targetname\" \"lamp\"\n\"origin\" \"0 0 0\"\n\"_light\" "
    "\"200\"\n"
    "\"spawnflags\" \"1\"\n}\n"
    "{\n\"classname\" \"armoury_entity\"\n\"origin\" \"1 2 3\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n\"origin\" \"5 5 5\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n\"origin\" \"5 5 5\"\n}\n";
const std::string kAfter =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n\"origin\" \"5 5 5\"\n}\n"
    "{\n\"origin\" \"0 0 0\"\n\"classname\" \"light\"\n\"targetname\" \"lamp\"\n\"_light\" "
    "\"100\"\n"
    "\"style\" \"2\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"9 9 9\"\n}\n";

class Diff : public testing::CliTest {};

TEST_F(Diff, MatchesBlocksByClassTargetAndOriginAndListsChangedKeys) {
    const std::string a = Map("a.bsp", kBefore);
    const std::string b = dir.File("b.ent");
    WriteText(b, kAfter);
    EXPECT_EQ(RunDiff(Context(), a, b), 0);
    EXPECT_EQ(out.str(), "--- " + a + "\n+++ " + b +
                             "\n"
                             "- armoury_entity origin \"1 2 3\" (line 11)\n"
                             "- info_player_start origin \"5 5 5\" (line 19)\n"
                             "+ info_player_deathmatch origin \"9 9 9\" (line 15)\n"
                             "~ light targetname \"lamp\" origin \"0 0 0\" (line 4 -> 8)\n"
                             "    \"_light\" \"200\" -> \"100\"\n"
                             "    - \"spawnflags\" \"1\"\n"
                             "    + \"style\" \"2\"\n" +
                             a + " -> " + b + ": 1 added, 2 removed, 1 changed\n");

    EXPECT_EQ(RunDiff(Context(1, true), a, b), 0);
    const nlohmann::json result = Json()[0];
    EXPECT_EQ(result["map"], a);
    EXPECT_EQ(result["other"], b);
    EXPECT_EQ(result["ok"], true);
    EXPECT_EQ(result["removed"].size(), 2u);
    EXPECT_EQ(result["removed"][0]["keys"],
              nlohmann::json::parse(R"([["classname","armoury_entity"],["origin","1 2 3"]])"));
    EXPECT_EQ(result["added"][0]["classname"], "info_player_deathmatch");
    EXPECT_TRUE(result["added"][0]["targetname"].is_null());
    EXPECT_EQ(result["changed"][0]["keys"], nlohmann::json::parse(R"([
        {"key": "_light", "before": "200", "after": "100"},
        {"key": "spawnflags", "before": "1", "after": null},
        {"key": "style", "before": null, "after": "2"}])"));
}

TEST_F(Diff, PairsTheMapsOfTwoFoldersByName) {
    Map("old/a.bsp", kBefore);
    Map("old/b.bsp", kBefore);
    Map("new/a.bsp", kBefore);
    EXPECT_EQ(RunDiff(Context(), dir.File("old"), dir.File("new")), 1);
    EXPECT_EQ(out.str(), "--- " + dir.File("old/a.bsp") + "\n+++ " + dir.File("new/a.bsp") + "\n" +
                             dir.File("old/a.bsp") + " -> " + dir.File("new/a.bsp") +
                             ": 0 added, 0 removed, 0 changed\n");
    EXPECT_EQ(sink.Last(),
              "Error openning the file: " + dir.File("new/b.bsp") + ".\nThere is no such file.");
    EXPECT_EQ(RunDiff(Context(), dir.File("old"), dir.File("old/a.bsp")), 2);
}

}  // namespace
}  // namespace entorra::cli
