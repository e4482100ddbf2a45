// Round trips of the real maps beside the project, when they are there.

#include <gtest/gtest.h>

#include <filesystem>

#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/FileText.h"
#include "bsp/MapInfo.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/MapReading.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using fixtures::HeaderWord;

Bytes LumpBytes(const Bytes& image, int lump) {
    const auto offset = static_cast<std::ptrdiff_t>(HeaderWord(image, LumpOffsetField(lump)));
    const auto length = static_cast<std::ptrdiff_t>(HeaderWord(image, LumpLengthField(lump)));
    return Bytes(image.begin() + offset, image.begin() + offset + length);
}

TEST(RealMaps, SavingTheirOwnEditorTextKeepsEveryOtherLumpAndTheChecksum) {
    const auto maps = testing::SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no real maps beside the project";
    }
    testing::CTempDir dir;
    testing::CRecordingSink sink;
    for (const auto& map : maps) {
        SCOPED_TRACE(map.filename().string());
        const std::string path = dir.File(map.filename().string());
        std::filesystem::copy_file(map, path);
        // Real maps are read-only; a copy the user saves is writable.
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        const Bytes original = fixtures::ReadFileBytes(path);

        CBspFile file(sink);
        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        std::string text = MakeEditorText(file.GetEntityText());
        std::string expected = text;
        PrepareFileText(expected);
        ASSERT_EQ(file.Save(path, text), 0) << sink.Last();
        EXPECT_EQ(text, expected);

        const Bytes written = fixtures::ReadFileBytes(path);
        for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
            EXPECT_EQ(LumpBytes(written, lump), LumpBytes(original, lump)) << LumpName(lump);
        }
        EXPECT_EQ(MapChecksum(written), MapChecksum(original));
        ASSERT_EQ(file.Load(path), 0);
        EXPECT_EQ(file.GetEntityText(), expected);
        // Its editor form is now stable: showing and saving again changes nothing.
        std::string again = MakeEditorText(file.GetEntityText());
        ASSERT_EQ(file.Save(path, again), 0);
        EXPECT_EQ(fixtures::ReadFileBytes(path), written);
    }
}

TEST(RealMaps, TurnedBlueShiftTheyShowAndSaveTheEntityLumpInEntry1) {
    const auto maps = testing::SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no real maps beside the project";
    }
    testing::CTempDir dir;
    testing::CRecordingSink sink;
    for (const auto& map : maps) {
        SCOPED_TRACE(map.filename().string());
        Bytes original = fixtures::ReadFileBytes(map.string());
        const std::string text(reinterpret_cast<const char*>(original.data()) +
                               HeaderWord(original, LumpOffsetField(LUMP_ENTITIES)));
        // Entries 0 and 1 swapped: planes described first, the entity lump second.
        std::swap_ranges(original.begin() + 4, original.begin() + 12, original.begin() + 12);
        const std::string path = dir.File(map.filename().string());
        fixtures::WriteFileBytes(path, original);

        CBspFile file(sink);
        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        ASSERT_EQ(std::string(file.GetEntityText(), file.EntityTextLength()), text);
        EXPECT_EQ(MapChecksum(file.Image()), testing::reading::ChecksumSkipping(original, 1));

        // Its own text with one block fewer, as an edit would leave it.
        std::string edited = MakeEditorText(text);
        const std::size_t second = edited.find("}\r\n") + 3;
        edited.erase(second, edited.find("}\r\n", second) + 3 - second);
        ASSERT_EQ(file.Save(path, edited), 0) << sink.Last();
        const Bytes written = fixtures::ReadFileBytes(path);
        for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
            if (entry != 1) {
                EXPECT_EQ(testing::reading::EntryBytes(written, entry),
                          testing::reading::EntryBytes(original, entry))
                    << entry;
            }
        }
        EXPECT_EQ(testing::reading::ChecksumSkipping(written, 1),
                  testing::reading::ChecksumSkipping(original, 1));
        EXPECT_EQ(MapChecksum(written), MapChecksum(original));
        const Bytes entities = testing::reading::EntryBytes(written, 1);
        EXPECT_EQ(std::string(entities.begin(), entities.end()), edited + '\0');
        ASSERT_EQ(file.Load(path), 0);
        EXPECT_EQ(file.GetEntityText(), edited);
    }
}

}  // namespace
}  // namespace entorra
