// Maps as users have them: the Blue Shift header, a BSPX directory behind the lumps, bytes
// after them, in the lump orders compilers and other tools write. Every save keeps every lump
// but the entity lump, the map's checksum and every BSPX lump where readers find them.

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/MapInfo.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/MapReading.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using fixtures::MapVariantFixture;
using testing::CRecordingSink;
using testing::CTempDir;
using namespace testing::reading;

const std::string kText = fixtures::MakeEntityText(6);

class MapVariantSave : public ::testing::TestWithParam<MapVariantFixture> {
protected:
    std::string WriteMap(const Bytes& bytes) {
        const std::string path = dir.File("variant.bsp");
        fixtures::WriteFileBytes(path, bytes);
        return path;
    }

    CTempDir dir;
    CRecordingSink sink;
};

TEST_P(MapVariantSave, ShowsTheEntityLumpWhereverItIs) {
    const MapVariantFixture& variant = GetParam();
    CBspFile file(sink);
    ASSERT_EQ(file.Load(WriteMap(variant.image)), 0) << sink.Last();
    EXPECT_EQ(std::string(file.GetEntityText(), file.EntityTextLength()), kText);
}

TEST_P(MapVariantSave, SavesKeepEveryOtherLumpTheChecksumAndTheBspxLumps) {
    const MapVariantFixture& variant = GetParam();
    const int entityEntry = fixtures::EntryOf(LUMP_ENTITIES, variant.blueShift);
    const Bytes& original = variant.image;
    const std::uint32_t checksum = ChecksumSkipping(original, entityEntry);
    const auto bspxBefore = BspxLumps(original);
    ASSERT_EQ(bspxBefore.size(), variant.bspx.size());

    // Longer, shorter, by one byte (every alignment of the moved bytes), and empty.
    const std::vector<std::string> texts = {fixtures::MakeEntityText(40),
                                            fixtures::MakeEntityText(1),
                                            fixtures::MakeEntityText(1) + "{\n}\n",
                                            "{\n}\n",
                                            "{\n\"a\" \"b\"\n}\n",
                                            "{\n\"a\" \"bc\"\n}\n",
                                            ""};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.size());
        const std::string path = WriteMap(original);
        CBspFile file(sink);
        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        std::string editorText = MakeEditorText(text);
        ASSERT_EQ(file.Save(path, editorText), 0) << sink.Last();
        const Bytes written = fixtures::ReadFileBytes(path);

        const std::string expectedLump = (text.empty() ? std::string("\n") : text) + '\0';
        EXPECT_EQ(EntryBytes(written, entityEntry),
                  Bytes(expectedLump.begin(), expectedLump.end()));
        for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
            if (entry != entityEntry) {
                EXPECT_EQ(EntryBytes(written, entry), EntryBytes(original, entry)) << entry;
            }
        }
        EXPECT_EQ(ChecksumSkipping(written, entityEntry), checksum);
        EXPECT_EQ(MapChecksum(written), checksum);
        EXPECT_EQ(BspxLumps(written), bspxBefore);
        if (variant.trailing > 0) {
            EXPECT_TRUE(std::equal(original.end() - static_cast<std::ptrdiff_t>(variant.trailing),
                                   original.end(),
                                   written.end() - static_cast<std::ptrdiff_t>(variant.trailing)));
        }
        if (variant.meetsFileOrder) {
            // The plain layout: the texture lump directly behind the new entity lump.
            EXPECT_EQ(written.size(), EntryOffset(written, entityEntry) + expectedLump.size() +
                                          EntryBytes(original, LUMP_TEXTURES).size());
        }

        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        EXPECT_EQ(std::string(file.GetEntityText(), file.EntityTextLength()),
                  expectedLump.substr(0, expectedLump.size() - 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, MapVariantSave,
                         ::testing::ValuesIn(fixtures::MapVariants(kText)),
                         [](const auto& test) { return testing::TestName(test.param.name); });

TEST(BlueShift, ImportOfAnEditedTextLeavesThePlanesAsTheyWere) {
    // The map a user makes by swapping the first two entries of a Half-Life map.
    const Bytes halfLife = fixtures::CMapBuilder()
                               .EntityText(kText)
                               .Lump(LUMP_PLANES, fixtures::MakePlanes(12))
                               .Align(4)
                               .Build();
    Bytes blueShift = halfLife;
    std::swap_ranges(blueShift.begin() + 4, blueShift.begin() + 12, blueShift.begin() + 12);

    CTempDir dir;
    CRecordingSink sink;
    const std::string path = dir.File("c1a0.bsp");
    fixtures::WriteFileBytes(path, blueShift);
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    EXPECT_STREQ(file.GetEntityText(), kText.c_str());
    const auto checksumBefore = MapChecksum(file.Image());
    EXPECT_EQ(checksumBefore, ChecksumSkipping(blueShift, 1));

    std::string edited = MakeEditorText(fixtures::MakeEntityText(2));
    ASSERT_EQ(file.Save(path, edited), 0) << sink.Last();
    const Bytes written = fixtures::ReadFileBytes(path);
    EXPECT_EQ(EntryBytes(written, 0), EntryBytes(blueShift, 0));
    EXPECT_EQ(MapChecksum(written), checksumBefore);
    EXPECT_EQ(ChecksumSkipping(written, 1), ChecksumSkipping(blueShift, 1));
}

}  // namespace
}  // namespace entorra
