// The dialog on maps as users have them: Blue Shift headers, BSPX directories, bytes after the
// lumps. It shows the entity lump wherever it is, and its Save keeps every other byte where
// readers find it.

#include <gtest/gtest.h>

#include "bsp/BspFormat.h"
#include "bsp/FileText.h"
#include "tests/app/DialogFixture.h"
#include "tests/support/MapReading.h"

namespace entorra::testing {
namespace {

using fixtures::Bytes;
using namespace reading;

class DialogMapVariants : public DialogFixture {
protected:
    // Shows the map, adds a key line, saves: the file holds the edited text in the entity lump
    // of entityEntry and every other lump and BSPX lump as before.
    void EditAndSave(const std::string& name, const Bytes& original, int entityEntry) {
        SCOPED_TRACE(name);
        const std::string path = m_folder + name;
        const Bytes lump = EntryBytes(original, entityEntry);
        const std::string text(lump.begin(), std::find(lump.begin(), lump.end(), 0));
        Select(name);
        ASSERT_EQ(Editor().GetText(), MakeEditorText(text));
        Edit();
        std::string expected = Editor().GetText();
        PrepareFileText(expected);
        const std::size_t messages = m_prompt.messages.size();
        Click(IDC_SAVE);
        ASSERT_EQ(m_prompt.messages.size(), messages + 1);
        EXPECT_EQ(m_prompt.messages.back(), "The file:  " + name + "\nwas saved!");

        const Bytes written = fixtures::ReadFileBytes(path);
        const Bytes entities = EntryBytes(written, entityEntry);
        EXPECT_EQ(std::string(entities.begin(), entities.end()), expected + '\0');
        for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
            if (entry != entityEntry) {
                EXPECT_EQ(EntryBytes(written, entry), EntryBytes(original, entry)) << entry;
            }
        }
        EXPECT_EQ(ChecksumSkipping(written, entityEntry), ChecksumSkipping(original, entityEntry));
        EXPECT_EQ(BspxLumps(written), BspxLumps(original));
        EXPECT_EQ(Editor().GetText(), MakeEditorText(expected));
    }
};

TEST_F(DialogMapVariants, SavesEveryGeneratedShapeKeepingEverythingButTheEntityLump) {
    const auto variants = fixtures::MapVariants(kSpawnText);
    for (std::size_t i = 0; i < variants.size(); ++i) {
        fixtures::WriteFileBytes(m_folder + "v" + std::to_string(i) + ".bsp", variants[i].image);
    }
    Start();
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(variants[i].name);
        EditAndSave("v" + std::to_string(i) + ".bsp", variants[i].image,
                    fixtures::EntryOf(LUMP_ENTITIES, variants[i].blueShift));
        EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 1");
    }
}

TEST_F(DialogMapVariants, SavesRealMapsTurnedBlueShift) {
    const auto maps = SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no shared maps";
    }
    std::vector<Bytes> originals;
    for (const auto& map : maps) {
        Bytes image = fixtures::ReadFileBytes(map.string());
        std::swap_ranges(image.begin() + 4, image.begin() + 12, image.begin() + 12);
        fixtures::WriteFileBytes(m_folder + map.filename().string(), image);
        originals.push_back(std::move(image));
    }
    Start();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EditAndSave(maps[i].filename().string(), originals[i], 1);
    }
}

}  // namespace
}  // namespace entorra::testing
