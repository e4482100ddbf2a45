// Every command on the real maps beside the project, when they are there: on copies in a
// temporary folder, since the commands that write are run too.

#include <gtest/gtest.h>

#include <filesystem>

#include "bsp/BspFile.h"
#include "bsp/FileText.h"
#include "bsp/MapInfo.h"
#include "cli/Json.h"
#include "folders/MapList.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/MapReading.h"

namespace entorra::cli {
namespace {

using fixtures::Bytes;

class RealMaps : public testing::CliTest {
protected:
    void SetUp() override {
        if (entorra::testing::SharedMaps().empty()) {
            GTEST_SKIP() << "no real maps beside the project";
        }
        std::filesystem::create_directories(dir.File("maps"));
        for (const auto& map : entorra::testing::SharedMaps()) {
            maps.push_back(dir.File("maps/" + map.filename().string()));
            std::filesystem::copy_file(map, maps.back());
            std::filesystem::permissions(maps.back(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        }
        std::sort(maps.begin(), maps.end(), MapNameLess);
    }

    std::string ChecksumOf(const std::string& path) {
        CBspFile file(sink);
        EXPECT_EQ(file.Load(path), 0);
        return ChecksumText(MapChecksum(file.Image()).value());
    }

    std::vector<std::string> maps;
};

TEST_F(RealMaps, ReadingCommandsGiveTheirFieldsForEveryMap) {
    const std::string folder = dir.File("maps");
    ASSERT_EQ(RunInfo(Context(2, true), {folder}), 0);
    nlohmann::json result = Json();
    ASSERT_EQ(result.size(), maps.size());
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(result[i]["map"], maps[i]);
        EXPECT_EQ(result[i]["version"], 30);
        EXPECT_EQ(result[i]["lumps"].size(), 15u);
        EXPECT_EQ(result[i]["checksum"], ChecksumOf(maps[i]));
    }
    ASSERT_EQ(RunCensus(Context(2, true), {folder}), 0);
    for (const auto& map : Json()) {
        EXPECT_TRUE(map["T"].is_number() && map["CT"].is_number() && map["VIP"].is_number());
    }
    ASSERT_EQ(RunFind(Context(2, true), "light", {folder}), 0);
    for (const auto& map : Json()) {
        for (const auto& block : map["blocks"]) {
            EXPECT_LT(block["start"].get<int>(), block["end"].get<int>());
            EXPECT_NE(block["text"].get<std::string>().find("light"), std::string::npos);
        }
    }
    ASSERT_EQ(RunShow(Context(2, true), {folder}), 0);
    EXPECT_EQ(Json().size(), maps.size());

    // No map has an error; what they have are a key given twice with two values and one
    // unusual layout, and information on what the engine changes by design.
    ASSERT_EQ(RunCheck(Context(2, true), {folder}), 0);
    for (const auto& map : Json()) {
        EXPECT_EQ(map["errors"], 0) << map.dump();
        for (const auto& finding : map["findings"]) {
            const std::string message = finding["message"];
            EXPECT_TRUE(finding["severity"] == "information" ||
                        message.rfind("the key \"JUL2007a\" is given twice", 0) == 0 ||
                        message.rfind("the entity lump is not followed", 0) == 0)
                << message;
        }
    }
}

TEST_F(RealMaps, WritesKeepTheChecksumOfEveryMap) {
    const std::string folder = dir.File("maps");
    std::vector<std::string> checksums;
    for (const std::string& map : maps) {
        checksums.push_back(ChecksumOf(map));
    }
    ASSERT_EQ(RunExport(Context(2), {folder}, ""), 0);

    // A dry run touches no map.
    std::vector<testing::FileState> states;
    for (const std::string& map : maps) {
        states.push_back(testing::StateOf(map));
    }
    ASSERT_EQ(RunDeleteAll(Context(2, true), "light", {folder}, {.dryRun = true, .backup = true}),
              0);
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(testing::StateOf(maps[i]), states[i]) << maps[i];
        EXPECT_EQ(Json()[i]["checksumAfter"], checksums[i]);
    }

    // Each map gets its own text back: reported and real checksums stay, the diff is empty.
    ASSERT_EQ(RunImport(Context(2, true), {folder}, "", {.backup = true}), 0);
    nlohmann::json result = Json();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(result[i]["checksumBefore"], checksums[i]);
        EXPECT_EQ(result[i]["checksumAfter"], checksums[i]);
        EXPECT_EQ(ChecksumOf(maps[i]), checksums[i]);
        EXPECT_TRUE(std::filesystem::exists(maps[i] + ".bak"));
        ASSERT_EQ(RunDiff(Context(1, true), maps[i], EntityFilePathFor(maps[i])), 0);
        EXPECT_TRUE(Json()[0]["added"].empty() && Json()[0]["removed"].empty() &&
                    Json()[0]["changed"].empty());
    }

    // The second change keeps the first backup: the map as it came.
    ASSERT_EQ(RunDeleteAll(Context(2, true), "light", {folder}, {.backup = true}), 0);
    result = Json();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(fixtures::ReadFileBytes(maps[i] + ".bak"), states[i].bytes);
        EXPECT_EQ(result[i]["checksumBefore"], checksums[i]);
        EXPECT_EQ(result[i]["checksumAfter"], checksums[i]);
        EXPECT_EQ(ChecksumOf(maps[i]), checksums[i]);
    }
}

TEST_F(RealMaps, AnEditedImportAddsNoWarningToCheck) {
    const std::string folder = dir.File("maps");
    ASSERT_EQ(RunCheck(Context(2, true), {folder}), 0);
    std::vector<int> warnings;
    for (const auto& map : Json()) {
        warnings.push_back(map["warnings"]);
    }
    // Each text one block shorter: entity lumps of new lengths, texture lumps at new offsets.
    ASSERT_EQ(RunExport(Context(2), {folder}, ""), 0);
    for (const std::string& map : maps) {
        const Bytes exported = fixtures::ReadFileBytes(EntityFilePathFor(map));
        std::string text(exported.begin(), exported.end());
        const std::size_t second = text.find('}') + 1;
        text.erase(second, text.find('}', second) + 1 - second);
        WriteText(EntityFilePathFor(map), text);
    }
    ASSERT_EQ(RunImport(Context(2), {folder}, "", {.force = true}), 0) << sink.Last();
    // Only the maps: an entity file beside a map is compared with it too.
    for (const std::string& map : maps) {
        std::filesystem::remove(EntityFilePathFor(map));
    }
    ASSERT_EQ(RunCheck(Context(2, true), {folder}), 0);
    const nlohmann::json result = Json();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(result[i]["warnings"], warnings[i]) << result[i].dump();
    }
}

TEST_F(RealMaps, TurnedBlueShiftTheyImportIntoEntry1AndKeepEveryOtherLump) {
    std::vector<Bytes> originals;
    for (const std::string& map : maps) {
        Bytes image = fixtures::ReadFileBytes(map);
        std::swap_ranges(image.begin() + 4, image.begin() + 12, image.begin() + 12);
        fixtures::WriteFileBytes(map, image);
        originals.push_back(std::move(image));
    }
    const std::string folder = dir.File("maps");
    ASSERT_EQ(RunInfo(Context(2, true), {folder}), 0);
    for (const auto& map : Json()) {
        EXPECT_EQ(map["layout"], "Blue Shift") << map["map"];
    }
    ASSERT_EQ(RunExport(Context(2), {folder}, ""), 0);
    for (const std::string& map : maps) {
        const Bytes exported = fixtures::ReadFileBytes(EntityFilePathFor(map));
        std::string text(exported.begin(), exported.end());
        text.insert(text.find('}') + 1, "\n{\n\"classname\" \"info_target\"\n}");
        WriteText(EntityFilePathFor(map), text);
    }
    ASSERT_EQ(RunImport(Context(2, true), {folder}, "", {.force = true}), 0) << sink.Last();
    const nlohmann::json result = Json();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        SCOPED_TRACE(maps[i]);
        const Bytes written = fixtures::ReadFileBytes(maps[i]);
        for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
            if (entry != 1) {
                EXPECT_EQ(entorra::testing::reading::EntryBytes(written, entry),
                          entorra::testing::reading::EntryBytes(originals[i], entry))
                    << entry;
            }
        }
        const std::string checksum =
            ChecksumText(entorra::testing::reading::ChecksumSkipping(originals[i], 1));
        EXPECT_EQ(result[i]["checksumBefore"], checksum);
        EXPECT_EQ(result[i]["checksumAfter"], checksum);
        EXPECT_EQ(ChecksumText(entorra::testing::reading::ChecksumSkipping(written, 1)), checksum);
        EXPECT_NE(result[i]["checksumSkippingEntry0Before"],
                  result[i]["checksumSkippingEntry0After"]);
        const Bytes lump = entorra::testing::reading::EntryBytes(written, 1);
        const Bytes imported = fixtures::ReadFileBytes(EntityFilePathFor(maps[i]));
        std::string text(imported.begin(), imported.end());
        PrepareFileText(text);
        EXPECT_EQ(std::string(lump.begin(), lump.end()), text + '\0');
    }
}

}  // namespace
}  // namespace entorra::cli
