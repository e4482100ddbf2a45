// The commands on maps as users have them: Blue Shift maps, maps with a BSPX directory, and
// maps as Entorra's own saves leave them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/ByteOrder.h"
#include "bsp/BspFormat.h"
#include "cli/Json.h"
#include "entities/EntityText.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/MapReading.h"

namespace entorra::cli {
namespace {

using fixtures::Bytes;
using namespace entorra::testing::reading;

const std::string kEdited = "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n}\n";

// A Half-Life map with its first two header entries swapped, as a user makes one to try.
Bytes SwappedMap() {
    Bytes image = fixtures::CMapBuilder()
                      .EntityText(testing::kEntities)
                      .Lump(LUMP_PLANES, fixtures::MakePlanes(12))
                      .Align(4)
                      .Build();
    std::swap_ranges(image.begin() + 4, image.begin() + 12, image.begin() + 12);
    return image;
}

class MapVariantCommands : public testing::CliTest {
protected:
    std::string WriteMap(const std::string& name, const Bytes& image) {
        const std::string path = dir.File(name);
        fixtures::WriteFileBytes(path, image);
        return path;
    }
};

TEST_F(MapVariantCommands, BlueShiftMapsShowAndImportTheEntityLumpInEntry1) {
    const Bytes original = SwappedMap();
    const std::string map = WriteMap("c1a0.bsp", original);
    ASSERT_EQ(RunShow(Context(), {map}), 0);
    EXPECT_EQ(out.str(), MakeEditorText(testing::kEntities));

    WriteText(dir.File("c1a0.ent"), kEdited);
    ASSERT_EQ(RunImport(Context(1, true), {map}, "", {}), 0) << out.str();
    const nlohmann::json result = Json()[0];
    const Bytes written = fixtures::ReadFileBytes(map);
    const std::string lump(kEdited + '\0');
    EXPECT_EQ(EntryBytes(written, 1), Bytes(lump.begin(), lump.end()));
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        if (entry != 1) {
            EXPECT_EQ(EntryBytes(written, entry), EntryBytes(original, entry)) << entry;
        }
    }
    EXPECT_EQ(result["checksumBefore"], ChecksumText(ChecksumSkipping(original, 1)));
    EXPECT_EQ(result["checksumAfter"], ChecksumText(ChecksumSkipping(written, 1)));
    EXPECT_EQ(result["checksumAfter"], result["checksumBefore"]);
}

TEST_F(MapVariantCommands, CheckRaisesNoWarningAboutTheLayoutOfEntorrasOwnSave) {
    // Texture lump directly behind an entity lump of odd length: not on a multiple of 4.
    const std::string map = Map("a.bsp");
    WriteText(dir.File("a.ent"), kEdited + "{\n\"classname\" \"x\"\n}\n");
    ASSERT_EQ(RunImport(Context(), {map}, "", {}), 0);
    ASSERT_NE(
        fixtures::HeaderWord(fixtures::ReadFileBytes(map), LumpOffsetField(LUMP_TEXTURES)) % 4, 0);
    // Only the map is checked: a save in a later second would make the text beside it older.
    std::filesystem::remove(dir.File("a.ent"));
    ASSERT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["warnings"], 0) << out.str();
}

class EveryCommand : public MapVariantCommands,
                     public ::testing::WithParamInterface<fixtures::MapVariantFixture> {};

// show, census, find, export, diff, delete-all, import: each reads and writes the entity lump
// where the map has it, and a write leaves every other lump and every BSPX lump as it was.
TEST_P(EveryCommand, WorksOnTheEntityLumpAndKeepsEverythingElse) {
    const fixtures::MapVariantFixture& variant = GetParam();
    const int entityEntry = fixtures::EntryOf(LUMP_ENTITIES, variant.blueShift);
    const std::string map = WriteMap("v.bsp", variant.image);

    ASSERT_EQ(RunShow(Context(), {map}), 0);
    EXPECT_EQ(out.str(), MakeEditorText(testing::kEntities));
    ASSERT_EQ(RunCensus(Context(), {map}), 0);
    EXPECT_EQ(out.str(), map + ": T= 2 CT= 1 VIP= 0\n");
    ASSERT_EQ(RunFind(Context(1, true), "info_player_start", {map}), 0);
    EXPECT_EQ(Json()[0]["blocks"].size(), 1u);
    ASSERT_EQ(RunExport(Context(), {map}, ""), 0);
    const Bytes exported = fixtures::ReadFileBytes(dir.File("v.ent"));
    EXPECT_EQ(std::string(exported.begin(), exported.end()), testing::kEntities);
    ASSERT_EQ(RunDiff(Context(1, true), map, dir.File("v.ent")), 0);
    EXPECT_TRUE(Json()[0]["added"].empty() && Json()[0]["removed"].empty());

    const auto unchanged = [&](const Bytes& written) {
        for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
            if (entry != entityEntry) {
                EXPECT_EQ(EntryBytes(written, entry), EntryBytes(variant.image, entry)) << entry;
            }
        }
        EXPECT_EQ(BspxLumps(written), BspxLumps(variant.image));
        EXPECT_EQ(ChecksumSkipping(written, entityEntry),
                  ChecksumSkipping(variant.image, entityEntry));
    };
    ASSERT_EQ(RunDeleteAll(Context(1, true), "info_player_deathmatch", {map}, {}), 0);
    EXPECT_EQ(Json()[0]["deleted"], 2);
    EXPECT_EQ(Json()[0]["checksumAfter"],
              ChecksumText(ChecksumSkipping(variant.image, entityEntry)));
    unchanged(fixtures::ReadFileBytes(map));

    WriteText(dir.File("v.ent"), fixtures::MakeEntityText(25));
    ASSERT_EQ(RunImport(Context(), {map}, "", {}), 0);
    const Bytes written = fixtures::ReadFileBytes(map);
    unchanged(written);
    const std::string lump = fixtures::MakeEntityText(25) + '\0';
    EXPECT_EQ(EntryBytes(written, entityEntry), Bytes(lump.begin(), lump.end()));
    std::filesystem::remove(dir.File("v.ent"));
    ASSERT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["warnings"], 0) << out.str();
}

INSTANTIATE_TEST_SUITE_P(Generated, EveryCommand,
                         ::testing::ValuesIn(fixtures::MapVariants(testing::kEntities)),
                         [](const auto& test) {
                             return entorra::testing::TestName(test.param.name);
                         });

TEST_F(MapVariantCommands, InfoNamesTheLayoutTheLumpsAndBothChecksums) {
    const Bytes image = SwappedMap();
    const std::string map = WriteMap("c1a0.bsp", image);
    ASSERT_EQ(RunInfo(Context(), {map}), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("  layout       Blue Shift (entity lump in entry 1, planes in entry 0)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(Format("        0  planes        %8zu", EntryOffset(image, 0))),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(Format("        1  entities      %8zu", EntryOffset(image, 1))),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  checksum     " + ChecksumText(ChecksumSkipping(image, 1)) +
                        " (every lump but the entity lump)\n               " +
                        ChecksumText(ChecksumSkipping(image, 0)) +
                        " (every lump but entry 0, as engines that always skip entry 0 take it)\n"),
              std::string::npos)
        << text;

    ASSERT_EQ(RunInfo(Context(1, true), {map}), 0);
    const nlohmann::json info = Json()[0];
    EXPECT_EQ(info["layout"], "Blue Shift");
    EXPECT_EQ(info["entityEntry"], 1);
    EXPECT_EQ(info["checksum"], ChecksumText(ChecksumSkipping(image, 1)));
    EXPECT_EQ(info["checksumSkippingEntry0"], ChecksumText(ChecksumSkipping(image, 0)));
    EXPECT_TRUE(info["bspx"].is_null());

    // A Half-Life map has one checksum whichever rule is followed.
    const std::string plain = Map("plain.bsp");
    ASSERT_EQ(RunInfo(Context(), {plain}), 0);
    EXPECT_NE(out.str().find("  layout       Half-Life (entity lump in entry 0)\n"),
              std::string::npos);
    EXPECT_EQ(out.str().find("every lump but"), std::string::npos);
}

TEST_F(MapVariantCommands, AWriteSaysWhenTheChecksumOfTheOtherRuleChanges) {
    const Bytes image = SwappedMap();
    const std::string map = WriteMap("c1a0.bsp", image);
    WriteText(dir.File("c1a0.ent"), kEdited);
    for (const bool dryRun : {true, false}) {
        SCOPED_TRACE(dryRun);
        ASSERT_EQ(RunImport(Context(), {map}, "", {.dryRun = dryRun}), 0);
        EXPECT_NE(out.str().find("  the checksum of engines that always skip entry 0 changes: " +
                                 ChecksumText(ChecksumSkipping(image, 0)) + " -> "),
                  std::string::npos)
            << out.str();
    }
    const Bytes written = fixtures::ReadFileBytes(map);
    ASSERT_EQ(RunDeleteAll(Context(1, true), "light", {map}, {}), 0);
    const nlohmann::json result = Json()[0];
    EXPECT_EQ(result["checksumSkippingEntry0Before"], ChecksumText(ChecksumSkipping(written, 0)));
    EXPECT_EQ(result["checksumSkippingEntry0After"],
              ChecksumText(ChecksumSkipping(fixtures::ReadFileBytes(map), 0)));
    EXPECT_NE(result["checksumSkippingEntry0Before"], result["checksumSkippingEntry0After"]);

    // On a Half-Life map both rules skip the entity lump: nothing more to say.
    const std::string plain = Map("plain.bsp");
    WriteText(dir.File("plain.ent"), kEdited);
    ASSERT_EQ(RunImport(Context(), {plain}, "", {}), 0);
    EXPECT_EQ(out.str().find("always skip entry 0"), std::string::npos);
}

TEST_F(MapVariantCommands, AMapWhoseEntityLumpCannotBeToldApartIsNeverWritten) {
    // Entry 1 holds entity text, entry 0 is neither text nor planes.
    Bytes image = fixtures::CMapBuilder()
                      .EntityText(testing::kEntities)
                      .Lump(LUMP_PLANES, fixtures::PatternBytes(50, 3))
                      .Align(4)
                      .Build();
    std::swap_ranges(image.begin() + 4, image.begin() + 12, image.begin() + 12);
    const std::string map = WriteMap("odd.bsp", image);
    WriteText(dir.File("odd.ent"), kEdited);
    const testing::FileState before = testing::StateOf(map);

    EXPECT_EQ(RunImport(Context(), {map}, "", {}), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: odd.bsp.\nIts layout is not recognised: entry 1 of its "
              "header holds entity text, but entry 0 holds neither entity text nor planes (its 50 "
              "bytes are not a whole number of 20-byte planes). Entity text is written only over "
              "an entity lump.");
    EXPECT_EQ(testing::StateOf(map), before);

    ASSERT_EQ(RunCheck(Context(), {map}), 1);
    EXPECT_NE(out.str().find(map + ": error: the layout is not recognised: entry 1 of its header "
                                   "holds entity text, but entry 0"),
              std::string::npos)
        << out.str();
    ASSERT_EQ(RunInfo(Context(), {map}), 0);
    EXPECT_NE(out.str().find("  layout       not recognised: entry 1 of its header"),
              std::string::npos);
}

TEST_F(MapVariantCommands, CheckNamesTheBlueShiftLayoutAndAValidBspxDirectoryIsNoFinding) {
    const std::string map = WriteMap("c1a0.bsp", SwappedMap());
    ASSERT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_EQ(out.str(), map + ": ok (Blue Shift layout)\n");
    CommandContext informed = Context();
    informed.lintInformation = true;
    ASSERT_EQ(RunCheck(informed, {map}), 0);
    EXPECT_EQ(out.str(), map +
                             ": information: Blue Shift layout: entry 0 of the header holds the "
                             "planes lump and entry 1 the entity lump\n" +
                             map + ": ok (Blue Shift layout)\n");
    ASSERT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["layout"], "Blue Shift");
    EXPECT_EQ(Json()[0]["information"], 1);

    const std::string bspx =
        WriteMap("bspx.bsp", fixtures::CMapBuilder()
                                 .EntityText(testing::kEntities)
                                 .Align(4)
                                 .Bspx({{"LMSHIFT", fixtures::PatternBytes(9, 1)}})
                                 .Build());
    ASSERT_EQ(RunCheck(Context(1, true), {bspx}), 0);
    const nlohmann::json result = Json()[0];
    for (const auto& finding : result["findings"]) {
        EXPECT_EQ(finding["message"].get<std::string>().find("BSPX"), std::string::npos);
    }
}

struct DamagedBspx {
    const char* name;
    std::size_t field;  // a word of the directory, counted from "BSPX"
    std::int32_t value;
    // The damage reported, given where the directory and its first lump were.
    std::function<std::string(std::size_t directory, std::size_t lump)> damage;
};

void PrintTo(const DamagedBspx& damaged, std::ostream* out) {
    *out << damaged.name;
}

class DamagedBspxDirectory : public MapVariantCommands,
                             public ::testing::WithParamInterface<DamagedBspx> {};

TEST_P(DamagedBspxDirectory, IsReportedListedAndMovedByASaveByteForByte) {
    // Entities in the middle: a save moves everything behind them, the directory too.
    Bytes image = fixtures::MapVariants(testing::kEntities)[6].image;
    ASSERT_EQ(fixtures::MapVariants(testing::kEntities)[6].name,
              "Half-Life, entities in the middle, BSPX");
    const std::size_t directory = BspxDirectoryAt(image);
    const auto lump = static_cast<std::size_t>(fixtures::HeaderWord(image, directory + 8 + 24));
    WriteInt32LE(image, directory + GetParam().field, GetParam().value);
    const std::string map = WriteMap("damaged.bsp", image);
    const std::string damage = GetParam().damage(directory, lump);

    ASSERT_EQ(RunCheck(Context(), {map}), 0);
    EXPECT_NE(out.str().find(map + ": warning: the BSPX directory is damaged: " + damage +
                             "; a save leaves it as it is\n"),
              std::string::npos)
        << out.str();
    ASSERT_EQ(RunInfo(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["bspx"]["valid"], false);
    EXPECT_EQ(Json()[0]["bspx"]["damages"][0], damage);

    WriteText(dir.File("damaged.ent"), fixtures::MakeEntityText(30));
    ASSERT_EQ(RunImport(Context(), {map}, "", {}), 0);
    const Bytes written = fixtures::ReadFileBytes(map);
    const std::size_t moved = BspxDirectoryAt(written);
    const std::size_t end = image.size();
    EXPECT_TRUE(std::equal(image.begin() + static_cast<std::ptrdiff_t>(directory),
                           image.begin() + static_cast<std::ptrdiff_t>(end),
                           written.begin() + static_cast<std::ptrdiff_t>(moved), written.end()));
}

INSTANTIATE_TEST_SUITE_P(
    MapVariants, DamagedBspxDirectory,
    ::testing::Values(
        DamagedBspx{"count past the end", 4, 1000,
                    [](std::size_t directory, std::size_t) {
                        return Format(
                            "its directory of 1000 entries at offset %zu runs past the "
                            "end of the file",
                            directory);
                    }},
        DamagedBspx{"negative count", 4, -1,
                    [](std::size_t directory, std::size_t) {
                        return Format(
                            "its directory of -1 entries at offset %zu runs past the "
                            "end of the file",
                            directory);
                    }},
        DamagedBspx{"lump past the end", 8 + 28, 1 << 20,
                    [](std::size_t, std::size_t lump) {
                        return Format(
                            "its BSPX lump LMSHIFT (offset %zu, length 1048576) lies "
                            "outside the file",
                            lump);
                    }},
        DamagedBspx{"lump among the map's lumps", 8 + 24, 200,
                    [](std::size_t, std::size_t) {
                        return std::string(
                            "its BSPX lump LMSHIFT (offset 200, length 13) does not lie behind "
                            "the directory");
                    }}),
    [](const auto& test) { return entorra::testing::TestName(test.param.name); });

}  // namespace
}  // namespace entorra::cli
