#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "bsp/BspFile.h"
#include "cli/Commands.h"
#include "entities/EntityText.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/fixtures/MapBuilder.h"

namespace entorra::cli {
namespace {

using testing::kEntities;

class EntityCommands : public testing::CliTest {};

TEST_F(EntityCommands, ShowPrintsTheEditorForm) {
    EXPECT_EQ(RunShow(Context(), {Map("a.bsp")}), 0);
    EXPECT_EQ(out.str(), MakeEditorText(kEntities));
    EXPECT_EQ(RunShow(Context(), {dir.File("missing.bsp")}), 1);
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(EntityCommands, ShowHeadsEachOfSeveralMaps) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", "{\n\"classname\" \"light\"\n}\n");
    EXPECT_EQ(RunShow(Context(), {a, b}), 0);
    EXPECT_EQ(out.str(), "==> " + a + " <==\r\n" + MakeEditorText(kEntities) + "==> " + b +
                             " <==\r\n{\r\n\"classname\" \"light\"\r\n}\r\n");
}

TEST_F(EntityCommands, CensusCountsEachMapAndFailsForAMissingOne) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", "{\n\"classname\" \"info_vip_start\"\n}\n");
    EXPECT_EQ(RunCensus(Context(), {a, dir.File("missing.bsp"), b}), 1);
    EXPECT_EQ(out.str(), a + ": T= 2 CT= 1 VIP= 0\n" + b + ": T= 0 CT= 0 VIP= 1\n");
}

TEST_F(EntityCommands, FindListsTheBlocksUntilFindNextWrapsRound) {
    const std::string a = Map("a.bsp");
    EXPECT_EQ(RunFind(Context(), "info_player_deathmatch", {a}), 0);
    const std::string block = "{\r\n\"classname\" \"info_player_deathmatch\"\r\n}\r\n";
    EXPECT_EQ(out.str(), a + " 32 76\n" + block + a + " 115 159\n" + block);
    EXPECT_EQ(RunFind(Context(), "nothing", {a}), 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(EntityCommands, DeleteAllReportsOneLinePerMapAndSavesUnlessDry) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", "{\n\"classname\" \"light\"\n}\n");
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);

    EXPECT_EQ(RunDeleteAll(Context(), "info_player_deathmatch", {a, b}, {.dryRun = true}), 0);
    const std::string deleted =
        ": 2 entities containing the string \"info_player_deathmatch\" were deleted.\n";
    EXPECT_EQ(out.str().substr(0, a.size() + deleted.size()), a + deleted);
    EXPECT_NE(out.str().find("dry run, nothing written\n" + b + ": nothing deleted\n"),
              std::string::npos);
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    EXPECT_TRUE(sink.messages.empty());

    const fixtures::Bytes untouched = fixtures::ReadFileBytes(b);
    EXPECT_EQ(RunDeleteAll(Context(), "info_player_deathmatch", {a, b}, {}), 0);
    EXPECT_EQ(fixtures::ReadFileBytes(b), untouched);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.Last(), "The file:  a.bsp\nwas saved!");
    CBspFile file(sink);
    ASSERT_EQ(file.Load(a), 0);
    EXPECT_STREQ(file.GetEntityText(),
                 "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"info_player_start\"\n}\n");
}

TEST_F(EntityCommands, JsonHoldsTheDocumentedFields) {
    const std::string a = Map("a.bsp");
    const auto keysOf = [](const nlohmann::json& object) {
        std::set<std::string> keys;
        for (const auto& item : object.items()) {
            keys.insert(item.key());
        }
        return keys;
    };
    // The document's keys, sorted as the parsed object keeps them.
    using Keys = std::set<std::string>;

    EXPECT_EQ(RunShow(Context(1, true), {a}), 0);
    EXPECT_EQ(keysOf(Json()[0]), (Keys{"map", "ok", "text"}));
    EXPECT_EQ(Json()[0]["text"], MakeEditorText(kEntities));

    EXPECT_EQ(RunCensus(Context(1, true), {a}), 0);
    EXPECT_EQ(Json()[0],
              (nlohmann::json{{"map", a}, {"ok", true}, {"T", 2}, {"CT", 1}, {"VIP", 0}}));

    EXPECT_EQ(RunFind(Context(1, true), "info_player_start", {a}), 0);
    EXPECT_EQ(keysOf(Json()[0]), (Keys{"map", "ok", "search", "blocks"}));
    EXPECT_EQ(Json()[0]["blocks"][0]["start"], 76);
    EXPECT_EQ(Json()[0]["blocks"][0]["end"], 115);

    // The count Delete All returns, for a map with matches and one without.
    const std::string c = Map("c.bsp", "{\n\"classname\" \"light\"\n}\n");
    EXPECT_EQ(RunDeleteAll(Context(1, true), "info_player_deathmatch", {a, c}, {.dryRun = true}),
              0);
    EXPECT_EQ(Json()[0]["deleted"], 2);
    EXPECT_EQ(Json()[1]["deleted"], 0);
    EXPECT_EQ(Json()[1]["written"], false);

    EXPECT_EQ(RunInfo(Context(1, true), {a}), 0);
    EXPECT_EQ(keysOf(Json()[0]), (Keys{"map", "ok", "version", "layout", "entityEntry", "size",
                                       "lumps", "meetsFileOrder", "entityBytes", "entityBlocks",
                                       "bspx", "checksum", "checksumSkippingEntry0"}));
    EXPECT_EQ(Json()[0]["entityBlocks"], 4);

    EXPECT_EQ(RunExport(Context(1, true), {a}, ""), 0);
    EXPECT_EQ(Json()[0], (nlohmann::json{{"map", a},
                                         {"ok", true},
                                         {"entityFile", dir.File("a.ent")},
                                         {"entityBytes", kEntities.size()},
                                         {"fileBytes", kEntities.size()}}));

    // A map text that is not UTF-8 comes out as Latin-1, byte for byte.
    const std::string b = Map("b.bsp", "{\n\"classname\" \"caf\xe9\"\n}\n");
    EXPECT_EQ(RunFind(Context(1, true), "caf", {b}), 0);
    EXPECT_EQ(Json()[0]["blocks"][0]["text"], "{\r\n\"classname\" \"caf\u00e9\"\r\n}\r\n");
}

}  // namespace
}  // namespace entorra::cli
