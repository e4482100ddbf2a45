#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "folders/MapList.h"
#include "io/NativePath.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CTempDir;
using Names = std::vector<std::string>;

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

void Touch(const std::string& path) {
    std::ofstream(PathFromUtf8(path), std::ios::binary) << "x";
}

class MapList : public ::testing::Test {
protected:
    std::string Folder() const { return Utf8FromPath(dir.Path()) + kSeparator; }
    Names List() const { return ListMapFiles(MapPattern(Folder())); }

    CTempDir dir;
};

TEST_F(MapList, ListsTheFolderOwnBspFilesOfAnyCaseHiddenOnesIncluded) {
    for (const char* name : {"de_dust.bsp", "CS_OFFICE.BSP", "aim.Bsp", ".hidden.bsp", "notes.txt",
                             "de_dust.bsp.bak", "x.bspx", "bsp", "readonly.bsp"}) {
        Touch(dir.File(name));
    }
    std::filesystem::permissions(dir.File("readonly.bsp"), std::filesystem::perms::owner_read);
    std::filesystem::create_directories(dir.File("sub.bsp"));
    std::filesystem::create_directories(dir.File("sub"));
    Touch(dir.File("sub/inner.bsp"));

    EXPECT_EQ(List(),
              (Names{".hidden.bsp", "aim.Bsp", "CS_OFFICE.BSP", "de_dust.bsp", "readonly.bsp"}));
}

#if !defined(_WIN32)
TEST_F(MapList, OnlyRegularFilesAndLinksToThemAreMaps) {
    Touch(dir.File("real.bsp"));
    std::filesystem::create_directories(dir.File("folder"));
    std::filesystem::create_symlink(dir.File("real.bsp"), dir.File("link.bsp"));
    std::filesystem::create_directory_symlink(dir.File("folder"), dir.File("folderlink.bsp"));
    std::filesystem::create_symlink(dir.File("gone"), dir.File("dangling.bsp"));
    ASSERT_EQ(mkfifo(dir.File("pipe.bsp").c_str(), 0600), 0);
    EXPECT_EQ(List(), (Names{"link.bsp", "real.bsp"}));
}
#endif

TEST_F(MapList, AFolderThatCannotBeListedGivesAnEmptyList) {
    EXPECT_TRUE(ListMapFiles(MapPattern(dir.File("missing") + kSeparator)).empty());
    Touch(dir.File("file"));
    EXPECT_TRUE(ListMapFiles(MapPattern(dir.File("file") + kSeparator)).empty());
    EXPECT_TRUE(List().empty());

#if !defined(_WIN32)
    if (geteuid() != 0) {  // root reads any folder
        std::filesystem::create_directories(dir.File("closed"));
        Touch(dir.File("closed/a.bsp"));
        std::filesystem::permissions(dir.File("closed"), std::filesystem::perms::none);
        EXPECT_TRUE(ListMapFiles(MapPattern(dir.File("closed") + "/")).empty());
        std::filesystem::permissions(dir.File("closed"), std::filesystem::perms::owner_all);
    }
#endif
}

TEST_F(MapList, AFolderWithoutItsSeparatorIsJoinedWithNothingBetween) {
    // A stored "maps" without its separator makes the pattern name files beside the folder.
    std::filesystem::create_directories(dir.File("maps"));
    Touch(dir.File("maps/inside.bsp"));
    Touch(dir.File("mapsbeside.bsp"));
    Touch(dir.File("other.bsp"));
    const std::string folder = dir.File("maps");
    EXPECT_EQ(MapPattern(folder), folder + "*.bsp");
    EXPECT_EQ(ListMapFiles(MapPattern(folder)), Names{"mapsbeside.bsp"});
    EXPECT_EQ(MapPath(folder, "x.bsp"), folder + "x.bsp");
    EXPECT_EQ(MapPath("/a//", "b.bsp"), "/a//b.bsp");
    EXPECT_EQ(MapPath("C:\\a\\\\", "b.bsp"), "C:\\a\\\\b.bsp");
}

TEST_F(MapList, AnEmptyFolderListsTheCurrentFolderAndPathsAreBareNames) {
    Touch(dir.File("here.bsp"));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const Names names = ListMapFiles(MapPattern(""));
    std::filesystem::current_path(previous);
    EXPECT_EQ(MapPattern(""), "*.bsp");
    EXPECT_EQ(names, Names{"here.bsp"});
    EXPECT_EQ(MapPath("", "here.bsp"), "here.bsp");
}

TEST_F(MapList, ADoubledSeparatorStillLists) {
    Touch(dir.File("a.bsp"));
    EXPECT_EQ(ListMapFiles(MapPattern(Folder() + kSeparator)), Names{"a.bsp"});
}

#if defined(_WIN32)
// Windows: hidden, system and read-only maps are listed like any other, names outside ASCII
// come back in UTF-8, a folder given with forward slashes lists as well.
TEST_F(MapList, WindowsListsMapsOfEveryAttributeAndNameInTheBackslashFolder) {
    const std::string russian = "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.BSP";  // карта
    const std::string chinese = "\xE5\x9C\xB0\xE5\x9B\xBE.bsp";                  // 地图
    for (const std::string& name :
         {std::string("hidden.bsp"), std::string("system.Bsp"), std::string("readonly.bsp"),
          russian, chinese, std::string("notes.txt")}) {
        Touch(dir.File(name));
    }
    const auto attribute = [&](const char* name, DWORD value) {
        ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(dir.File(name)).c_str(), value));
    };
    attribute("hidden.bsp", FILE_ATTRIBUTE_HIDDEN);
    attribute("system.Bsp", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    attribute("readonly.bsp", FILE_ATTRIBUTE_READONLY);
    std::filesystem::create_directories(PathFromUtf8(dir.File("folder.bsp")));

    const Names expected{"hidden.bsp", "readonly.bsp", "system.Bsp", russian, chinese};
    EXPECT_EQ(Folder().back(), '\\');
    EXPECT_EQ(List(), expected);
    std::string forward = Folder();
    std::replace(forward.begin(), forward.end(), '\\', '/');
    EXPECT_EQ(ListMapFiles(MapPattern(forward)), expected);
    attribute("readonly.bsp", FILE_ATTRIBUTE_NORMAL);
}
#endif

TEST(MapNameOrder, AlphabeticalWithoutRegardToCaseAndStable) {
    Names names{"b.bsp", "A.bsp", "a.bsp", "C.bsp", "ab.bsp", "a_b.bsp", "\xE9t\xE9.bsp", "Z.bsp"};
    std::sort(names.begin(), names.end(), MapNameLess);
    EXPECT_EQ(names, (Names{"A.bsp", "a.bsp", "a_b.bsp", "ab.bsp", "b.bsp", "C.bsp", "Z.bsp",
                            "\xE9t\xE9.bsp"}));
    EXPECT_FALSE(MapNameLess("a", "a"));
    EXPECT_TRUE(MapNameLess("a", "ab"));
    EXPECT_FALSE(MapNameLess("AB", "a"));
}

TEST(MapWildcard, StarAndQuestionMarkWithoutRegardToCase) {
    EXPECT_TRUE(MatchesWildcard("de_dust.BSP", "*.bsp"));
    EXPECT_TRUE(MatchesWildcard(".bsp", "*.bsp"));
    EXPECT_TRUE(MatchesWildcard("a.bsp.bsp", "*.bsp"));
    EXPECT_FALSE(MatchesWildcard("a.bsp.bak", "*.bsp"));
    EXPECT_FALSE(MatchesWildcard("bsp", "*.bsp"));
    EXPECT_TRUE(MatchesWildcard("ab.bsp", "a?.bsp"));
    EXPECT_FALSE(MatchesWildcard("a.bsp", "a?.bsp"));
    EXPECT_TRUE(MatchesWildcard("mapsx.bsp", "maps*.bsp"));
    EXPECT_TRUE(MatchesWildcard("", "*"));
    EXPECT_FALSE(MatchesWildcard("x", ""));
    EXPECT_TRUE(MatchesWildcard(std::string(2000, 'a') + ".bsp", "*a*a*a*.bsp"));
    EXPECT_FALSE(MatchesWildcard(std::string(2000, 'a'), "*a*a*b"));
}

TEST(MapListOfRealMaps, ListsEveryMapOfTheSharedFolder) {
    const auto folder = testing::SharedMapsFolder();
    if (folder.empty()) {
        GTEST_SKIP() << "no shared maps";
    }
    Names expected;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string extension = Utf8FromPath(entry.path().extension());
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (entry.is_regular_file() && extension == ".bsp") {
            expected.push_back(Utf8FromPath(entry.path().filename()));
        }
    }
    std::sort(expected.begin(), expected.end(), MapNameLess);
    EXPECT_EQ(ListMapFiles(MapPattern(Utf8FromPath(folder) + kSeparator)), expected);
}

class CAnsweringPicker final : public IFolderPicker {
public:
    explicit CAnsweringPicker(std::optional<std::string> answer) : m_answer(std::move(answer)) {}
    std::optional<std::string> SelectFolder(const std::string& prompt,
                                            const std::string& startFolder) override {
        prompts.push_back(prompt);
        starts.push_back(startFolder);
        return m_answer;
    }
    Names prompts;
    Names starts;

private:
    std::optional<std::string> m_answer;
};

TEST(BrowseForMapFolder, TheChosenFolderGetsTheSeparatorInEveryCase) {
    const std::vector<std::tuple<std::string, char, std::string>> cases{
        {"/srv/maps", '/', "/srv/maps/"},
        {"/", '/', "//"},
        {"/srv/maps/", '/', "/srv/maps//"},
        {"C:\\", '\\', "C:\\\\"},
        {"D:\\Games\\cstrike\\maps", '\\', "D:\\Games\\cstrike\\maps\\"},
    };
    for (const auto& [chosen, separator, folder] : cases) {
        CAnsweringPicker picker(chosen);
        EXPECT_EQ(BrowseForMapFolder(picker, "", separator), folder);
        EXPECT_EQ(picker.prompts, Names{"Select a folder that contains bsp files."});
    }
}

TEST(BrowseForMapFolder, CancelGivesNothingAndThePickerStartsInAnExistingMapFolder) {
    CTempDir dir;
    CAnsweringPicker cancelled(std::nullopt);
    EXPECT_EQ(BrowseForMapFolder(cancelled, dir.Path().string() + "/", '/'), std::nullopt);
    EXPECT_EQ(BrowseForMapFolder(cancelled, dir.File("missing") + "/", '/'), std::nullopt);
    EXPECT_EQ(BrowseForMapFolder(cancelled, "", '/'), std::nullopt);
    EXPECT_EQ(cancelled.starts, (Names{dir.Path().string() + "/", "", ""}));
}

}  // namespace
}  // namespace entorra
