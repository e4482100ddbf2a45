// Round trips of the real maps beside the project, when they are there.

#include <gtest/gtest.h>

#include <filesystem>

#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/FileText.h"
#include "bsp/MapInfo.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
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
        // The shared maps may be read-only, which Windows does not replace.
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

}  // namespace
}  // namespace entorra
