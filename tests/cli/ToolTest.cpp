// The built program: exit statuses, help, output in pipes.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

class Tool : public testing::CliTest {
protected:
    // Runs entorra-cli with the arguments; its stdout and stderr go to files.
    int Run(const std::vector<std::string>& arguments) {
        return entorra::testing::RunProgram(ENTORRA_CLI_PATH, arguments, dir.File("stdout"),
                                            dir.File("stderr"));
    }
    std::string Read(const std::string& name) {
        std::ifstream input(PathFromUtf8(dir.File(name)), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
};

TEST_F(Tool, ExitStatusesAndHelp) {
    const std::string a = Map("maps/a.bsp");
    Map("maps/b.bsp");
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(Read("stdout"), "Entorra 1.7.0\n");
    EXPECT_EQ(Run({"census", a}), 0);
    EXPECT_EQ(Run({"census", a, dir.File("none.bsp")}), 1);
    EXPECT_EQ(Read("stdout"), a + ": T= 2 CT= 1 VIP= 0\n");
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"census"}), 2);
    EXPECT_EQ(Run({"--jobs", "0", "census", a}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"import", a, dir.File("maps"), "--from", dir.File("maps"), "--bogus"}), 2);

    EXPECT_EQ(Run({"--help"}), 0);
    for (const char* command : {"info", "export", "import", "show", "census", "find", "delete-all",
                                "check", "diff", "--json", "--jobs", "Exit status"}) {
        EXPECT_NE(Read("stdout").find(command), std::string::npos) << command;
    }
    EXPECT_EQ(Run({"delete-all", "--help"}), 0);
    for (const char* option : {"--dry-run", "--backup", "STRING", "MAP"}) {
        EXPECT_NE(Read("stdout").find(option), std::string::npos) << option;
    }
}

TEST_F(Tool, JsonGoesToStdoutAndNoProgressBarIntoAPipe) {
    Map("maps/a.bsp");
    Map("maps/b.bsp");
    EXPECT_EQ(Run({"census", "--json", "--jobs", "2", dir.File("maps"), dir.File("x.bsp")}), 1);
    const nlohmann::json maps = nlohmann::json::parse(Read("stdout"));
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_EQ(maps[1]["T"], 2);
    EXPECT_EQ(maps[2]["ok"], false);
    EXPECT_EQ(Read("stderr"),
              "Error openning the file: " + dir.File("x.bsp") + ".\nThere is no such file.\n");
}

// Names outside ASCII reach the maps from the command line and come back unchanged.
TEST_F(Tool, MapAndEntityFilesWithNamesOutsideAscii) {
    // "карты/été 地图.bsp"
    const std::string folder = dir.File("\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD1\x8B");
    const std::string map = Map(folder + "/\xC3\xA9t\xC3\xA9 \xE5\x9C\xB0\xE5\x9B\xBE.bsp");
    const std::string entityFile = map.substr(0, map.size() - 4) + ".ent";
    EXPECT_EQ(Run({"census", map}), 0) << Read("stderr");
    EXPECT_EQ(Read("stdout"), map + ": T= 2 CT= 1 VIP= 0\n");
    EXPECT_EQ(Run({"census", folder}), 0) << Read("stderr");
    EXPECT_EQ(Read("stdout"), map + ": T= 2 CT= 1 VIP= 0\n");

    EXPECT_EQ(Run({"export", map}), 0) << Read("stderr");
    EXPECT_EQ(Read("stdout"), map + " -> " + entityFile + "\n");
    EXPECT_EQ(fixtures::ReadFileBytes(entityFile),
              fixtures::Bytes(testing::kEntities.begin(), testing::kEntities.end()));
    WriteText(entityFile, "{\n\"classname\" \"worldspawn\"\n}\n");
    EXPECT_EQ(Run({"import", "--backup", map}), 0) << Read("stderr");
    EXPECT_EQ(fixtures::ReadFileBytes(map + ".bak"), fixtures::MakeMap(testing::kEntities));
    EXPECT_EQ(Run({"census", map}), 0);
    EXPECT_EQ(Read("stdout"), map + ": T= 0 CT= 0 VIP= 0\n");
    EXPECT_EQ(Run({"check", map, entityFile}), 0) << Read("stdout") << Read("stderr");
}

TEST_F(Tool, LintAndExportOptionsReachTheCommands) {
    const std::string a = Map("maps/a.bsp");
    const std::string file = dir.File("x.ent");
    WriteText(file,
              "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" "
              "\"info_player_start\"\n\"angle\" \"-1\"\n\"message\" \"caf\xE9\"\n}\n");
    EXPECT_EQ(Run({"check", file}), 0);
    EXPECT_EQ(Read("stdout"), file + ": ok\n");
    EXPECT_EQ(Run({"check", "--engine", "xash", "--code-page", "utf-8", "--information", file}), 0);
    EXPECT_EQ(Read("stdout"),
              file +
                  ":6:1: information: the engine turns \"angle\" into \"angles\" \"-90 0 0\" "
                  "(up)\n" +
                  file +
                  ":7:15: warning: bytes that are not UTF-8: engines and tools read them "
                  "differently\n" +
                  file + ": 0 error(s), 1 warning(s)\n");
    EXPECT_EQ(Run({"check", "--engine", "quake", file}), 2);
    EXPECT_EQ(Run({"check", "--code-page", "koi8", file}), 2);
    EXPECT_EQ(Run({"check", "--players", "0", file}), 2);
    EXPECT_EQ(Run({"check", "--players", "1", "--edicts", "1", file}), 1);

    EXPECT_EQ(Run({"export", "--form", "lump", a}), 0);
    EXPECT_EQ(Read("maps/a.ent"), testing::kEntities + std::string(1, '\0'));
    EXPECT_EQ(Run({"export", "--form", "other", a}), 2);
    EXPECT_EQ(Run({"import", "--engine", "xash", "--dry-run", a}), 0);
}

}  // namespace
}  // namespace entorra::cli
