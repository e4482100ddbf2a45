// check: map files and entity files checked, per map, never written.

#include <gtest/gtest.h>

#include "base/ByteOrder.h"
#include "bsp/BspFormat.h"
#include "cli/Commands.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/FaultyFileSystem.h"

namespace entorra::cli {
namespace {

class CheckCommand : public testing::CliTest {};

TEST_F(CheckCommand, ReportsPerMapFailsOnErrorsAndWritesNothing) {
    const std::string good = Map("maps/good.bsp");
    const std::string bad = Map("maps/noclass.bsp", "{\n\"classname\" \"worldspawn\"\n}\n{\n}\n");
    WriteText(dir.File("maps/edit.ent"),
              "{\n\"classname\" \"worldspawn\"\n\"a\" \"1\"\n\"a\" \"2\"\n}\n");
    const testing::FileState before = testing::StateOf(bad);

    EXPECT_EQ(RunCheck(Context(), {dir.File("maps"), dir.File("maps/edit.ent")}), 1);
    const std::string noClass =
        "block without \"classname\": the engine leaves it unread and stops loading the map "
        "(\"found ... when expecting {\")";
    EXPECT_EQ(out.str(), good + ": ok\n" + bad + ":4:1: error: " + noClass + "\n" + bad +
                             ": 1 error(s), 0 warning(s)\n" + dir.File("maps/edit.ent") +
                             ":4:1: warning: the key \"a\" is given twice in one block: the "
                             "later value wins\n" +
                             dir.File("maps/edit.ent") + ": 0 error(s), 1 warning(s)\n");
    EXPECT_EQ(testing::StateOf(bad), before);

    EXPECT_EQ(RunCheck(Context(1, true), {bad, good}), 1);
    const nlohmann::json maps = Json();
    EXPECT_EQ(maps[0]["ok"], false);
    EXPECT_EQ(maps[0]["errors"], 1);
    EXPECT_EQ(
        maps[0]["findings"][0],
        nlohmann::json({{"line", 4}, {"column", 1}, {"severity", "error"}, {"message", noClass}}));
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
    EXPECT_EQ(sink.Last(),
              "Error openning the file: " + dir.File("none.bsp") + ".\nThere is no such file.");
}

// A file check cannot read: the step that fails, whether it is an entity file, the message.
struct UnreadCase {
    entorra::testing::FileStep step;
    bool entityFile;
    const char* message;  // %s: the path
};

class CheckUnreadable : public testing::CliTest,
                        public ::testing::WithParamInterface<UnreadCase> {};

TEST_P(CheckUnreadable, IsReadOnceAndFailsWithOneMessage) {
    const std::string path = GetParam().entityFile ? dir.File("m.ent") : Map("m.bsp");
    if (GetParam().entityFile) {
        WriteText(path, testing::kEntities);
    }
    entorra::testing::CFaultyFileSystem faulty;
    faulty.FailAt(GetParam().step);
    EXPECT_EQ(RunCheck(Context(faulty), {path}), 1);
    EXPECT_TRUE(faulty.Triggered());
    EXPECT_EQ(sink.messages, std::vector<std::string>{Format(GetParam().message, path.c_str())});
}

INSTANTIATE_TEST_SUITE_P(
    CheckCommand, CheckUnreadable,
    ::testing::Values(
        UnreadCase{entorra::testing::FileStep::Open, false,
                   "Error openning the file: %s.\nMake sure it isn't opened in another program."},
        UnreadCase{entorra::testing::FileStep::Size, false,
                   "Error reading the size of the file : %s."},
        UnreadCase{entorra::testing::FileStep::Read, false, "Error openning the file: %s.\n"},
        UnreadCase{entorra::testing::FileStep::OpenForReading, true,
                   "Error reading the entity file: %s.\nopen: injected"},
        UnreadCase{entorra::testing::FileStep::Read, true,
                   "Error reading the entity file: %s.\nread: injected"}),
    [](const auto& test) {
        return std::string(test.param.entityFile ? "EntityFile" : "Map") +
               entorra::testing::TestName(entorra::testing::FileStepName(test.param.step));
    });

TEST_F(CheckCommand, AFindingInsideTheEntityTextHasItsLine) {
    fixtures::Bytes image = fixtures::MakeMap(testing::kEntities);
    // The NUL just outside the lump's length: the engine would read past the text.
    const std::int32_t length = fixtures::HeaderWord(image, LumpLengthField(LUMP_ENTITIES));
    WriteInt32LE(image, LumpLengthField(LUMP_ENTITIES), length - 1);
    fixtures::WriteFileBytes(dir.File("m.bsp"), image);
    EXPECT_EQ(RunCheck(Context(), {dir.File("m.bsp")}), 1);
    EXPECT_EQ(out.str(),
              Format("%s:13:1: error: a NUL missing: the entity lump has none within its %d bytes\n"
                     "%s: 1 error(s), 0 warning(s)\n",
                     dir.File("m.bsp").c_str(), length - 1, dir.File("m.bsp").c_str()));
}

}  // namespace
}  // namespace entorra::cli
