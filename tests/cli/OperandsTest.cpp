// Operands to maps: folders, subfolders, the same file named twice, folders without maps.

#include "cli/Operands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/Commands.h"
#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

using Operands = testing::CliTest;

TEST_F(Operands, FoldersGiveTheirMapsSortedWithoutRegardToCase) {
    const std::string b = Map("f/b.bsp");
    const std::string a = Map("f/A.BSP");
    const std::string c = Map("f/c.Bsp");
    const std::string deep = Map("f/sub/d.bsp");
    const std::string deeper = Map("f/sub/Z/e.bsp");
    WriteText(dir.File("f/notes.txt"), "not a map");
    const std::string folder = dir.File("f");

    EXPECT_EQ(ExpandOperands({folder}, false, sink), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(ExpandOperands({folder}, true, sink),
              (std::vector<std::string>{a, b, c, deep, deeper}));
    // Operands keep their order; a file named twice, however spelled, is worked on once.
    EXPECT_EQ(
        ExpandOperands({c, dir.File("missing.bsp"), folder, dir.File("f/./c.Bsp")}, false, sink),
        (std::vector<std::string>{c, dir.File("missing.bsp"), a, b}));
    EXPECT_TRUE(sink.messages.empty());

    std::filesystem::create_directories(dir.File("empty"));
    EXPECT_TRUE(ExpandOperands({dir.File("empty")}, false, sink).empty());
    EXPECT_EQ(sink.Last(), "No maps in the folder: " + dir.File("empty") + ".");
    EXPECT_EQ(RunCensus(Context(), {dir.File("empty")}), 1);
}

TEST_F(Operands, AFolderWithoutMapsIsSaidOnceByEveryCommand) {
    const std::string empty = dir.File("empty");
    std::filesystem::create_directories(empty);
    const std::vector<std::string> once = {"No maps in the folder: " + empty + ".",
                                           "No maps to work on."};
    using Command = int (*)(const CommandContext&, const std::vector<std::string>&);
    for (const Command command :
         {Command{&RunShow}, Command{&RunCensus}, Command{&RunInfo}, Command{&RunCheck}}) {
        sink.messages.clear();
        EXPECT_EQ(command(Context(), {empty}), 1);
        EXPECT_EQ(sink.messages, once);
    }
    sink.messages.clear();
    EXPECT_EQ(RunExport(Context(), {empty}, ""), 1);
    EXPECT_EQ(sink.messages, once);
}

}  // namespace
}  // namespace entorra::cli
