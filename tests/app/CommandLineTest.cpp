// The program's command line: the dump switch and the folder or map to start on.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/CommandLine.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra::testing {
namespace {

TEST(CommandLine, TheDumpSwitchIsAnArgumentThatBeginsWithDashD) {
    EXPECT_FALSE(ParseCommandLine({"/usr/bin/entorra"}).dumpSwitch);
    EXPECT_TRUE(ParseCommandLine({"entorra", "-d"}).dumpSwitch);
    EXPECT_TRUE(ParseCommandLine({"entorra", "maps/", "-dump"}).dumpSwitch);
    EXPECT_FALSE(ParseCommandLine({"entorra", "-D"}).dumpSwitch);
    EXPECT_FALSE(ParseCommandLine({"/opt/my-dir/entorra"}).dumpSwitch);
    EXPECT_FALSE(ParseCommandLine({"/opt/-dx/entorra", "/home/my-dir/maps/"}).dumpSwitch);
}

TEST(CommandLine, TheTargetIsTheFirstArgumentThatIsNoSwitch) {
    EXPECT_FALSE(ParseCommandLine({"entorra", "-d"}).target);
    EXPECT_EQ(ParseCommandLine({"entorra", "-d", "a/", "b/"}).target, "a/");
    EXPECT_EQ(ParseCommandLine({"entorra", "--", "-d"}).target, "-d");
    EXPECT_FALSE(ParseCommandLine({"entorra", "--", "-d"}).dumpSwitch);
}

TEST(CommandLine, AFolderBecomesTheMapFolderAndAMapNamesItsFolderAndItself) {
    CTempDir dir;
    const std::string maps = dir.File("maps");
    std::filesystem::create_directory(maps);
    fixtures::WriteFileBytes(maps + "/de_a.BSP", fixtures::MakeMap("{\n}\n"));

    StartTarget target = ResolveStartTarget(maps, '/');
    EXPECT_EQ(target.folder, maps + "/");
    EXPECT_FALSE(target.mapName);
    EXPECT_EQ(ResolveStartTarget(maps + "/", '/').folder, maps + "/");
    EXPECT_EQ(ResolveStartTarget(maps + "/./", '/').folder, maps + "/");

    target = ResolveStartTarget(maps + "/de_a.BSP", '/');
    EXPECT_EQ(target.folder, maps + "/");
    EXPECT_EQ(target.mapName, "de_a.BSP");

    // A map that is not there still names its folder; anything else is a folder.
    target = ResolveStartTarget(maps + "/gone.bsp", '/');
    EXPECT_EQ(target.folder, maps + "/");
    EXPECT_EQ(target.mapName, "gone.bsp");
    target = ResolveStartTarget(maps + "/missing", '/');
    EXPECT_EQ(target.folder, maps + "/missing/");
    EXPECT_FALSE(target.mapName);

    // Relative to the current folder.
    const auto current = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    target = ResolveStartTarget("maps", '/');
    std::filesystem::current_path(current);
    EXPECT_EQ(target.folder, maps + "/");
}

}  // namespace
}  // namespace entorra::testing
