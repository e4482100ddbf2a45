// The commands on maps as users have them: Blue Shift maps, maps with a BSPX directory, and
// maps as Entorra's own saves leave them.

#include <gtest/gtest.h>

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
    ASSERT_EQ(RunCheck(Context(1, true), {map}), 0);
    EXPECT_EQ(Json()[0]["warnings"], 0) << out.str();
}

}  // namespace
}  // namespace entorra::cli
