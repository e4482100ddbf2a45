// Entity files for servers: export's forms, check's engine lint options and the NAME.ent that
// check finds beside a map.

#include <chrono>
#include <filesystem>

#include "tests/cli/CliTestSupport.h"
#include "tests/support/FaultyFileSystem.h"

namespace entorra::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliTest;

const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n}\n";

class EntityFiles : public CliTest {
protected:
    CommandContext LintContext(EngineProfile engine, bool information = false, bool json = false) {
        CommandContext context = Context(1, json);
        context.lint.engine = engine;
        context.lintInformation = information;
        return context;
    }

    std::string Read(const std::string& path) {
        const fixtures::Bytes bytes = fixtures::ReadFileBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }

    // Sets the file's time this many seconds before the map's.
    void MakeOlder(const std::string& file, const std::string& map, int seconds) {
        fs::last_write_time(file, fs::last_write_time(map) - std::chrono::seconds(seconds));
    }
};

struct FormCase {
    ExportForm form;
    std::string expected;
};

class ExportForms : public EntityFiles, public ::testing::WithParamInterface<FormCase> {};

// A lump with CR LF line ends and a stray byte after the last block.
const std::string kRough = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n\xB7";

TEST_P(ExportForms, WriteTheBytesOfTheirForm) {
    const std::string map = Map("maps/rough.bsp", kRough);
    EXPECT_EQ(RunExport(Context(1, true), {map}, "", GetParam().form), 0);
    EXPECT_EQ(Read(dir.File("maps/rough.ent")), GetParam().expected);
    EXPECT_EQ(Json()[0]["fileBytes"], GetParam().expected.size());
    EXPECT_EQ(Json()[0]["entityBytes"], kRough.size());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ExportForms,
    ::testing::Values(FormCase{ExportForm::Text, kRough},
                      FormCase{ExportForm::Lump, kRough + std::string(1, '\0')},
                      FormCase{ExportForm::Clean, "{\n\"classname\" \"worldspawn\"\n}\n"}));

TEST_F(EntityFiles, TheCleanFormIsWhatTheEnginesReadWithoutError) {
    const std::string map = Map("maps/rough.bsp", kRough);
    EXPECT_EQ(RunExport(Context(), {map}, ""), 0);
    EXPECT_EQ(RunCheck(Context(), {dir.File("maps/rough.ent")}), 1);
    EXPECT_NE(out.str().find(":4:1: error: found \"\\xB7\" when expecting {"), std::string::npos)
        << out.str();
    EXPECT_EQ(RunExport(Context(), {map}, "", ExportForm::Clean), 0);
    EXPECT_EQ(RunCheck(Context(), {dir.File("maps/rough.ent")}), 0);
}

TEST_F(EntityFiles, CheckLintsForTheChosenEngine) {
    // A block without classname stops GoldSrc; Xash drops it.
    const std::string file = dir.File("x.ent");
    WriteText(file, kWorld + "{\n\"origin\" \"0 0 0\"\n}\n");
    EXPECT_EQ(RunCheck(LintContext(EngineProfile::GoldSrc), {file}), 1);
    EXPECT_EQ(RunCheck(LintContext(EngineProfile::Xash), {file}), 0);
    EXPECT_EQ(out.str(), file +
                             ":4:1: warning: block without \"classname\": the engine drops it\n" +
                             file + ": 0 error(s), 1 warning(s)\n");

    // The edicts of the player slots.
    std::string many = kWorld;
    for (int i = 0; i < 880; ++i) {
        many += "{\n\"classname\" \"info_target\"\n}\n";
    }
    WriteText(file, many);
    CommandContext context = LintContext(EngineProfile::GoldSrc);
    context.lint.players = 1;
    EXPECT_EQ(RunCheck(context, {file}), 0);
    context.lint.edicts = 800;
    EXPECT_EQ(RunCheck(context, {file}), 1);
    EXPECT_NE(out.str().find("881 blocks and 1 player slots need 882 edicts, goldsrc has 800"),
              std::string::npos)
        << out.str();
}

TEST_F(EntityFiles, InformationIsPrintedOnlyWhenAskedButAlwaysInJson) {
    const std::string file = dir.File("x.ent");
    WriteText(file, kWorld + "{\n\"classname\" \"info_player_start\"\n\"angle\" \"90\"\n}\n");
    EXPECT_EQ(RunCheck(LintContext(EngineProfile::GoldSrc), {file}), 0);
    EXPECT_EQ(out.str(), file + ": ok\n");
    EXPECT_EQ(RunCheck(LintContext(EngineProfile::GoldSrc, true), {file}), 0);
    EXPECT_EQ(out.str(), file +
                             ":6:1: information: the engine turns \"angle\" into \"angles\" with "
                             "a yaw of \"90\"\n" +
                             file + ": ok\n");
    EXPECT_EQ(RunCheck(LintContext(EngineProfile::GoldSrc, false, true), {file}), 0);
    EXPECT_EQ(Json()[0]["information"], 1);
    EXPECT_EQ(Json()[0]["findings"][0]["severity"], "information");
    EXPECT_EQ(Json()[0]["findings"][0]["column"], 1);
}

TEST_F(EntityFiles, ImportRefusesWhatTheChosenEngineRefuses) {
    const std::string map = Map("a.bsp");
    WriteText(dir.File("a.ent"), kWorld + "{\n\"origin\" \"0 0 0\"\n}\n");
    const testing::FileState before = testing::StateOf(map);
    EXPECT_EQ(RunImport(LintContext(EngineProfile::GoldSrc), {map}, "", {}), 1);
    EXPECT_EQ(testing::StateOf(map), before);
    EXPECT_EQ(RunImport(LintContext(EngineProfile::Xash), {map}, "", {}), 0);
    EXPECT_NE(out.str().find("a.ent:4:1: warning: block without \"classname\""), std::string::npos)
        << out.str();
}

TEST_F(EntityFiles, CheckComparesTheEntityFileBesideTheMap) {
    const std::string map = Map("maps/a.bsp");
    const std::string file = dir.File("maps/a.ent");

    // None: nothing to say.
    EXPECT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_TRUE(Json()[0]["entityFile"].is_null());

    // The same blocks, newer than the map.
    WriteText(file, testing::kEntities);
    EXPECT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_EQ(out.str(), map + ": ok\n");

    // Older by a second: Xash ignores it.
    MakeOlder(file, map, 1);
    EXPECT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_EQ(out.str(), map + ": warning: " + file +
                             " is older than the map: Xash ignores it (\"Entity patch is older "
                             "than bsp\"), ReHLDS reads it\n" +
                             map + ": 0 error(s), 1 warning(s)\n");

    // Other blocks: a short summary with the first difference.
    WriteText(file,
              "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" "
              "\"info_player_start\"\n}\n{\n\"classname\" \"light\"\n}\n");
    EXPECT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_EQ(out.str(), map + ": warning: " + file +
                             " differs from the map's entity lump, and a server that reads it "
                             "loads its blocks instead: 1 added, 2 removed, 0 changed (first: - "
                             "info_player_deathmatch, line 4 of the lump)\n" +
                             map + ": 0 error(s), 1 warning(s)\n");
    EXPECT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["entityFile"], nlohmann::json({{"path", file},
                                                       {"olderThanMap", false},
                                                       {"added", 1},
                                                       {"removed", 2},
                                                       {"changed", 0}}));

    // A changed value; the text after a NUL is not read.
    WriteText(file, "{\n\"classname\" \"worldspawn\"\n\"skyname\" \"night\"\n}\n" +
                        testing::kEntities.substr(29) + std::string("\0{ x }", 6));
    EXPECT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_NE(out.str().find("0 added, 0 removed, 1 changed (first: ~ worldspawn, line 1)"),
              std::string::npos)
        << out.str();
}

TEST_F(EntityFiles, AnEntityFileBesideThatCannotBeReadIsAWarning) {
    const std::string map = Map("maps/a.bsp");
    WriteText(dir.File("maps/a.ent"), testing::kEntities);
    entorra::testing::CFaultyFileSystem faulty;
    faulty.FailAt(entorra::testing::FileStep::OpenForReading);
    EXPECT_EQ(RunCheck(Context(faulty, 1, true), {map}), 0);
    EXPECT_TRUE(faulty.Triggered());
    const nlohmann::json report = Json()[0];
    EXPECT_EQ(report["warnings"], 1);
    const std::string message = report["findings"][0]["message"];
    EXPECT_EQ(message.rfind(dir.File("maps/a.ent") + " cannot be read (", 0), 0u) << message;
    EXPECT_EQ(report["entityFile"]["path"], dir.File("maps/a.ent"));
    EXPECT_FALSE(report["entityFile"].contains("added"));
}

}  // namespace
}  // namespace entorra::cli
