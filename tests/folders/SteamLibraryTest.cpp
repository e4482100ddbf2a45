#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "folders/MapFolder.h"
#include "folders/SteamLibrary.h"
#include "io/NativePath.h"
#include "tests/support/MemorySettingsStore.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CMemorySettingsStore;
using testing::CTempDir;
using Paths = std::vector<std::string>;

constexpr const char* kCurrentLayout = R"("libraryfolders"
{
	"contentstatsid"		"-4921397162233442711"
	"0"
	{
		"path"		"C:\\Program Files (x86)\\Steam"
		"label"		""
		"totalsize"		"0"
		"apps"
		{
			"70"		"469847693"
			"10"		"190243230"
		}
	}
	"1"
	{
		"label"		"games \"fast\""
		"path"		"D:\\SteamLibrary"
	}
	"2"
	{
		"path"		"/mnt/games/steam"
	}
}
)";

TEST(ParseLibraryFolders, ReadsEveryLibraryOfTheCurrentLayoutInFileOrder) {
    EXPECT_EQ(ParseLibraryFolders(kCurrentLayout),
              (Paths{"C:\\Program Files (x86)\\Steam", "D:\\SteamLibrary", "/mnt/games/steam"}));
}

TEST(ParseLibraryFolders, ReadsTheOlderLayoutCommentsConditionsAndBareTokens) {
    const std::string text =
        "\xEF\xBB\xBF// written by an older client\n"
        "\"LibraryFolders\"\n{\n"
        "\t\"TimeNextStatsReport\"\t\t\"1588329430\"\n"
        "\t\"1\"\t\t\"E:\\\\Games\\\\Steam\" [$WIN32]\n"
        "\t2 /home/u/lib // trailing comment\n"
        "\tnotanumber \"/ignored\"\n"
        "}\n";
    EXPECT_EQ(ParseLibraryFolders(text), (Paths{"E:\\Games\\Steam", "/home/u/lib"}));
}

TEST(ParseLibraryFolders, AWellFormedFileWithoutLibrariesGivesNone) {
    for (const char* text : {"", "  \n// only a comment\n", "\"other\" { \"0\" \"/x\" }",
                             "\"libraryfolders\" { }", "\"libraryfolders\" \"text\"",
                             "\"libraryfolders\" { \"0\" { \"label\" \"no path\" } }"}) {
        const auto parsed = ParseLibraryFolders(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_TRUE(parsed->empty()) << text;
    }
}

TEST(ParseLibraryFolders, BrokenFilesAreRefusedWhole) {
    const std::string deep = std::string(100000, '{');
    std::string nested = "\"libraryfolders\" ";
    for (int i = 0; i < 5000; ++i) {
        nested += "{ \"k\" ";
    }
    for (const std::string& text : std::vector<std::string>{
             "\"libraryfolders\" { \"0\" \"/a\"",             // block never closed
             "\"libraryfolders\" { \"0\" \"/a\" } }",         // one brace too many
             "\"libraryfolders\" { \"0\" \"/unterminated }",  // quote never closed
             "\"libraryfolders\" { \"0\" }",                  // key without a value
             "\"libraryfolders\"",                            // nothing after the key
             "{ \"0\" \"/a\" }",                              // block without a key
             "\"libraryfolders\" { \"0\" [$WIN32 \"/a\" }",   // condition never closed
             "\"libraryfolders\" { \"0\" \"/a\\",             // escape at the very end
             deep, nested, std::string("\0\x01\xff{{\"", 7)}) {
        EXPECT_FALSE(ParseLibraryFolders(text).has_value()) << text.substr(0, 60);
    }
}

class SteamSearch : public ::testing::Test {
protected:
    std::string Root(const std::string& relative) const {
        return Utf8FromPath(home.Path()) + "/" + relative;
    }

    // A Steam library at folder, with the game's maps when asked.
    static void MakeLibrary(const std::string& folder, bool withMaps) {
        std::filesystem::create_directories(folder + "/steamapps");
        if (withMaps) {
            std::filesystem::create_directories(folder +
                                                "/steamapps/common/Half-Life/cstrike/maps");
        }
    }

    static void WriteLibraryFile(const std::string& root, const std::string& text) {
        std::filesystem::create_directories(root + "/steamapps");
        std::ofstream(root + "/steamapps/libraryfolders.vdf", std::ios::binary) << text;
    }

    static std::string LibraryFileListing(const Paths& libraries) {
        std::string text = "\"libraryfolders\"\n{\n";
        for (std::size_t i = 0; i < libraries.size(); ++i) {
            text += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + libraries[i] +
                    "\"\n\t}\n";
        }
        return text + "}\n";
    }

    static std::string MapsOf(const std::string& library) {
        return library + "/steamapps/common/Half-Life/cstrike/maps/";
    }

    std::optional<std::string> Find() {
        return FindSteamMapFolder(store, LinuxRules(Utf8FromPath(home.Path())));
    }

    CTempDir home;
    CTempDir drives;
    CMemorySettingsStore store;
};

TEST_F(SteamSearch, NothingInstalledFindsNothing) {
    EXPECT_EQ(Find(), std::nullopt);
}

TEST_F(SteamSearch, TheFirstListedLibraryHoldingTheGameWins) {
    const std::string root = Root(".local/share/Steam");
    const std::string empty = drives.File("empty");
    const std::string second = drives.File("second");
    const std::string third = drives.File("third");
    MakeLibrary(root, false);
    MakeLibrary(empty, false);
    MakeLibrary(second, true);
    MakeLibrary(third, true);
    WriteLibraryFile(root,
                     LibraryFileListing({root, empty, drives.File("missing"), second, third}));
    EXPECT_EQ(Find(), MapsOf(second));
}

TEST_F(SteamSearch, TheRootsOwnGameComesBeforeItsLibraries) {
    const std::string root = Root(".steam/steam");
    MakeLibrary(root, true);
    MakeLibrary(drives.File("lib"), true);
    WriteLibraryFile(root, LibraryFileListing({drives.File("lib")}));
    EXPECT_EQ(Find(), MapsOf(root));
}

TEST_F(SteamSearch, RootsAreSearchedInOrderUpToTheFlatpakOne) {
    const std::string flatpak = Root(".var/app/com.valvesoftware.Steam/.local/share/Steam");
    MakeLibrary(flatpak, true);
    EXPECT_EQ(Find(), MapsOf(flatpak));
    const std::string local = Root(".local/share/Steam");
    MakeLibrary(local, true);
    EXPECT_EQ(Find(), MapsOf(local));
    const std::string dotSteam = Root(".steam/steam");
    MakeLibrary(dotSteam, true);
    EXPECT_EQ(Find(), MapsOf(dotSteam));
}

TEST_F(SteamSearch, ABrokenLibraryFileIsSkippedAndTheSearchGoesOn) {
    const std::string broken = Root(".steam/steam");
    MakeLibrary(drives.File("lost"), true);
    WriteLibraryFile(broken, "\"libraryfolders\" { \"0\" { \"path\" \"" + drives.File("lost") +
                                 "\" }");  // unbalanced: not trusted
    EXPECT_EQ(Find(), std::nullopt);

    const std::string good = Root(".local/share/Steam");
    MakeLibrary(drives.File("found"), true);
    WriteLibraryFile(good, LibraryFileListing({drives.File("found")}));
    EXPECT_EQ(Find(), MapsOf(drives.File("found")));
}

TEST_F(SteamSearch, UnusableEntriesAreSkipped) {
    const std::string root = Root(".steam/steam");
    const std::string library = drives.File("lib");
    MakeLibrary(library, true);
    // A relative path, an empty one, and a maps "folder" that is a file.
    std::filesystem::create_directories(drives.File("file") +
                                        "/steamapps/common/Half-Life/cstrike");
    std::ofstream(drives.File("file") + "/steamapps/common/Half-Life/cstrike/maps") << "x";
    WriteLibraryFile(root,
                     LibraryFileListing({"relative/lib", "", drives.File("file"), library + "/"}));
    EXPECT_EQ(Find(), MapsOf(library));
}

TEST_F(SteamSearch, AnOversizedLibraryFileIsNotRead) {
    const std::string root = Root(".steam/steam");
    MakeLibrary(drives.File("lib"), true);
    WriteLibraryFile(root, LibraryFileListing({drives.File("lib")}) + std::string(5u << 20, ' '));
    EXPECT_EQ(Find(), std::nullopt);
}

TEST_F(SteamSearch, WindowsTakesItsRootFromTheSettingsAndFormsABackslashFolder) {
    const std::string root = drives.File("Steam");
    MakeLibrary(root, false);
    MakeLibrary(drives.File("lib"), true);
    WriteLibraryFile(root, LibraryFileListing({drives.File("lib")}));
    store.SetRawValue(SettingsRoot::CurrentUser, "Software\\Valve\\Steam", "SteamPath", root);

    std::string expected = MapsOf(drives.File("lib"));
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(FindSteamMapFolder(store, WindowsRules()), expected);

    // Discovery reaches it after both game keys and before the fixed default.
    testing::CRecordingSink sink;
    const FoundMapFolder found = FindMapFolder(store, sink, WindowsRules());
    EXPECT_EQ(found.source, MapFolderSource::Steam);
    EXPECT_EQ(found.folder, expected);

    // A SteamPath too long for the value buffer counts as absent.
    store.SetRawValue(SettingsRoot::CurrentUser, "Software\\Valve\\Steam", "SteamPath",
                      root + std::string(300, '/'));
    EXPECT_EQ(FindSteamMapFolder(store, WindowsRules()), std::nullopt);
}

TEST_F(SteamSearch, LinuxDoesNotAskTheSettingsForSteam) {
    store.SetRawValue(SettingsRoot::CurrentUser, "Software\\Valve\\Steam", "SteamPath", "/x");
    Find();
    EXPECT_TRUE(store.Reads().empty());
}

}  // namespace
}  // namespace entorra
