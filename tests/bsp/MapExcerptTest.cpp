// The reading commands read a map's header, its entity lump and what telling layouts apart
// needs, not the whole map, and a failing or shrinking file is a clear failure.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/Bspx.h"
#include "bsp/MapBytes.h"
#include "tests/bsp/PieceByPiece.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;

const std::string kText = fixtures::MakeEntityText(200);

struct ShapeCase {
    const char* name;
    bool blueShift;
    bool bspx;
    std::size_t slack;  // bytes after the text's NUL inside the entity lump
};

void PrintTo(const ShapeCase& shape, std::ostream* out) {
    *out << shape.name;
}

const std::vector<ShapeCase> kShapes = {
    {"Half-Life", false, false, 0},
    {"Half-Life with a BSPX directory", false, true, 0},
    {"Half-Life with bytes after the NUL", false, false, 3000},
    {"Blue Shift", true, false, 0},
    {"Blue Shift with a BSPX directory", true, true, 0},
};

class ReadingShape : public ::testing::TestWithParam<ShapeCase> {
protected:
    // A map whose texture lump dwarfs the rest, as real maps with embedded textures do.
    static Bytes Build(const ShapeCase& shape) {
        fixtures::CMapBuilder builder;
        builder.EntityText(kText, shape.slack)
            .Lump(LUMP_PLANES, fixtures::MakePlanes(500))
            .Lump(LUMP_TEXTURES, fixtures::PatternBytes(4 << 20, 7))
            .Order(fixtures::CompilerLumpOrder())
            .BlueShift(shape.blueShift);
        if (shape.bspx) {
            builder.Bspx({{"LMSHIFT", fixtures::PatternBytes(100, 2)},
                          {"FACENORMALS", fixtures::PatternBytes(64, 3)}});
        }
        return builder.Build();
    }
};

TEST_P(ReadingShape, ReadsTheHeaderTheEntityLumpAndLittleElse) {
    const ShapeCase& shape = GetParam();
    const Bytes image = Build(shape);
    testing::CMemoryFileSystem fileSystem;
    fileSystem.files["m.bsp"] = image;
    const Result<MapExcerpt> read = ReadMapEntityText(fileSystem, "m.bsp");
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    EXPECT_EQ(read->EntityText(), kText);

    // Blue Shift is told apart by the planes in entry 0; a BSPX directory is read for what a
    // save would do with it.
    std::size_t allowed = kHeaderSize + kText.size() + 1 + shape.slack;
    if (shape.blueShift) {
        allowed += 500 * 20;
    }
    if (shape.bspx) {
        allowed += kBspxHeaderSize + 2 * kBspxEntrySize;
    }
    EXPECT_LE(read->bytes->BytesRead(), allowed);
    EXPECT_GE(read->bytes->BytesRead(), kHeaderSize + kText.size() + 1);
    testing::ExpectPieceByPieceAsWhole(image);
}

INSTANTIATE_TEST_SUITE_P(MapExcerpt, ReadingShape, ::testing::ValuesIn(kShapes),
                         [](const auto& test) { return testing::TestName(test.param.name); });

TEST(MapExcerpt, ATextRunningPastItsLumpIsReadToItsNul) {
    // The stored length stops short of the NUL, as some tools leave it.
    Bytes image = fixtures::MakeMap(kText);
    WriteInt32LE(image, LumpLengthField(LUMP_ENTITIES), 10);
    testing::ExpectPieceByPieceAsWhole(image);
}

TEST(MapExcerpt, AMapLoadRefusesIsRefusedInLoadsWords) {
    testing::CMemoryFileSystem fileSystem;
    Bytes image = fixtures::MakeMap(kText);
    WriteInt32LE(image, LumpOffsetField(LUMP_ENTITIES), 1 << 30);
    fileSystem.files["maps/m.bsp"] = image;
    const Result<MapExcerpt> read = ReadMapEntityText(fileSystem, "maps/m.bsp");
    ASSERT_FALSE(read.Ok());
    EXPECT_EQ(read.Error().message,
              "The file: maps/m.bsp\nis damaged: its entity lump lies outside the file.");
    // check still gets the findings.
    const Result<MapExcerpt> inspected = InspectMapFile(fileSystem, "maps/m.bsp");
    ASSERT_TRUE(inspected.Ok());
    EXPECT_NE(inspected->inspection.FirstFatal(), nullptr);
}

TEST(MapExcerpt, EachFailingReadIsALoadFailure) {
    testing::CTempDir dir;
    const std::string path = dir.File("m.bsp");
    fixtures::WriteFileBytes(path, fixtures::CMapBuilder()
                                       .EntityText(kText)
                                       .Bspx({{"LMSHIFT", fixtures::PatternBytes(10, 1)}})
                                       .Build());
    // The header, the entity lump, the BSPX directory and its entries: four reads.
    for (int occurrence = 1; occurrence <= 4; ++occurrence) {
        SCOPED_TRACE(occurrence);
        testing::CFaultyFileSystem fileSystem;
        fileSystem.FailAt(testing::FileStep::Read, occurrence);
        const Result<MapExcerpt> read = ReadMapEntityText(fileSystem, path);
        EXPECT_TRUE(fileSystem.Triggered());
        ASSERT_FALSE(read.Ok());
        EXPECT_EQ(read.Error().message, "Error openning the file: " + path + ".\n");
        EXPECT_EQ(read.Error().code, EIO);
    }
}

TEST(MapExcerpt, AFileCutShortWhileBeingReadIsAFailureNotGarbage) {
    testing::CMemoryFileSystem fileSystem;
    const Bytes image = fixtures::MakeMap(kText);
    fileSystem.files["m.bsp"] = image;
    auto file = fileSystem.OpenLocked("m.bsp", MapLock::Shared, kLockWait);
    ASSERT_TRUE(file.Ok());
    // The size taken at open, then the file cut to its header.
    fileSystem.files["m.bsp"].resize(kHeaderSize);
    CFileBytes bytes(std::move(file).Value(), image.size());
    EXPECT_THROW(InspectMap(bytes), CFileError);
}

TEST(MapExcerpt, RealMapsReadPieceByPieceAsWhole) {
    const auto maps = testing::SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no real maps beside the project";
    }
    for (const auto& map : maps) {
        SCOPED_TRACE(map.filename().string());
        testing::ExpectPieceByPieceAsWhole(fixtures::ReadFileBytes(map.string()));
    }
}

}  // namespace
}  // namespace entorra
