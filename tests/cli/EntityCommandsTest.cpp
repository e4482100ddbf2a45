#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "bsp/BspFile.h"
#include "cli/Commands.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CRecordingSink;

const std::string kEntities =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n";

class EntityCommands : public ::testing::Test {
protected:
    std::string Map(const std::string& name, const std::string& entities = kEntities) {
        const std::string path = dir.File(name);
        fixtures::WriteFileBytes(path, fixtures::MakeMap(entities));
        return path;
    }

    testing::CTempDir dir;
    CRecordingSink sink;
    std::ostringstream out;
};

TEST_F(EntityCommands, ShowPrintsTheEditorForm) {
    EXPECT_EQ(cli::RunShow(Map("a.bsp"), out, sink), 0);
    EXPECT_EQ(out.str(), MakeEditorText(kEntities));
    EXPECT_EQ(cli::RunShow(dir.File("missing.bsp"), out, sink), 1);
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(EntityCommands, CensusCountsEachMapAndFailsForAMissingOne) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", "{\n\"classname\" \"info_vip_start\"\n}\n");
    EXPECT_EQ(cli::RunCensus({a, dir.File("missing.bsp"), b}, out, sink), 1);
    EXPECT_EQ(out.str(), a + ": T= 2 CT= 1 VIP= 0\n" + b + ": T= 0 CT= 0 VIP= 1\n");
}

TEST_F(EntityCommands, FindListsTheBlocksUntilFindNextWrapsRound) {
    const std::string a = Map("a.bsp");
    EXPECT_EQ(cli::RunFind("info_player_deathmatch", {a}, out, sink), 0);
    const std::string block = "{\r\n\"classname\" \"info_player_deathmatch\"\r\n}\r\n";
    EXPECT_EQ(out.str(), a + " 32 76\n" + block + a + " 115 159\n" + block);
    out.str("");
    EXPECT_EQ(cli::RunFind("nothing", {a}, out, sink), 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(EntityCommands, DeleteAllReportsOneLinePerMapAndSavesUnlessDry) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", "{\n\"classname\" \"light\"\n}\n");
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);

    EXPECT_EQ(cli::RunDeleteAll("info_player_deathmatch", {a, b}, true, out, sink), 0);
    EXPECT_EQ(out.str(), a +
                             ": 2 entities containing the string \"info_player_deathmatch\" were "
                             "deleted.\n" +
                             b + ": nothing deleted\n");
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    EXPECT_TRUE(sink.messages.empty());

    out.str("");
    const fixtures::Bytes untouched = fixtures::ReadFileBytes(b);
    EXPECT_EQ(cli::RunDeleteAll("info_player_deathmatch", {a, b}, false, out, sink), 0);
    EXPECT_EQ(fixtures::ReadFileBytes(b), untouched);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.Last(), "The file:  a.bsp\nwas saved!");
    CBspFile file(sink);
    ASSERT_EQ(file.Load(a), 0);
    EXPECT_STREQ(file.GetEntityText(),
                 "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"info_player_start\"\n}\n");
}

}  // namespace
}  // namespace entorra
