#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using fixtures::CMapBuilder;
using testing::CRecordingSink;
using testing::CTempDir;

class BspFileLoad : public ::testing::Test {
protected:
    std::string WriteMap(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        fixtures::WriteFileBytes(path, bytes);
        return path;
    }

    CTempDir dir;
    CRecordingSink sink;
    CBspFile file{sink};
};

TEST_F(BspFileLoad, ReadsTheEntityTextUpToItsFirstNul) {
    const std::string path =
        WriteMap("a.bsp", CMapBuilder().EntityText("{\n\"a\" \"b\"\n}\n", 8).Build());
    ASSERT_EQ(file.Load(path), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n\"a\" \"b\"\n}\n");
    EXPECT_EQ(file.EntityTextLength(), 12u);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BspFileLoad, WrongVersionsAreRefusedAndDropTheEarlierMap) {
    const std::string good = WriteMap("good.bsp", fixtures::MakeMap("{\n}\n"));
    for (const int version : {29, 31}) {
        ASSERT_EQ(file.Load(good), 0);
        const std::string path = WriteMap("v.bsp", CMapBuilder().Version(version).Build());
        EXPECT_EQ(file.Load(path), 1);
        EXPECT_EQ(sink.Last(), "BSP is version " + std::to_string(version) + ", not 30");
        EXPECT_EQ(file.GetEntityText(), nullptr);
        std::string text = "{\n}\n";
        EXPECT_EQ(file.Save(good, text), 2);
        EXPECT_EQ(text, "{\n}\n");
    }
}

TEST_F(BspFileLoad, MissingFileGivesTheOpenMessageWithTheFullPathAndSaysSo) {
    const std::string path = dir.File("missing.bsp");
    EXPECT_EQ(file.Load(path), 1);
    EXPECT_EQ(sink.Last(), "Error openning the file: " + path + ".\nThere is no such file.");
}

TEST_F(BspFileLoad, AFolderIsNotAMap) {
    EXPECT_EQ(file.Load(dir.Path().string()), 1);
    EXPECT_EQ(file.GetEntityText(), nullptr);
}

struct DamagedMap {
    const char* name;
    Bytes image;
    const char* messagePart;
};

Bytes WithWord(Bytes image, std::size_t offset, std::int32_t value) {
    WriteInt32LE(image, offset, value);
    return image;
}

TEST_F(BspFileLoad, DamagedHeadersAreRefusedWithAMessageNamingTheFile) {
    const Bytes good = CMapBuilder().Build();
    const auto size = static_cast<std::int32_t>(good.size());
    const std::int32_t entityOffset = fixtures::HeaderWord(good, LumpOffsetField(LUMP_ENTITIES));
    Bytes noNul = good;
    // The entity lump is last but one; make it, the texture lump and the rest non-NUL.
    std::memset(noNul.data() + entityOffset, 'x',
                noNul.size() - static_cast<std::size_t>(entityOffset));

    const std::vector<DamagedMap> cases = {
        {"empty", Bytes{}, "shorter than the 124-byte map header"},
        {"version only", Bytes{30, 0, 0, 0}, "shorter than the 124-byte map header"},
        {"123 bytes", WithWord(Bytes(123, 0), 0, 30), "shorter than the 124-byte map header"},
        {"negative entity offset", WithWord(good, LumpOffsetField(LUMP_ENTITIES), -4),
         "entity lump lies outside"},
        {"negative entity length", WithWord(good, LumpLengthField(LUMP_ENTITIES), -1),
         "entity lump lies outside"},
        {"entity offset past the end", WithWord(good, LumpOffsetField(LUMP_ENTITIES), size + 1),
         "entity lump lies outside"},
        {"entity length past the end", WithWord(good, LumpLengthField(LUMP_ENTITIES), size),
         "entity lump lies outside"},
        {"entity lump in the header", WithWord(good, LumpOffsetField(LUMP_ENTITIES), 8),
         "overlaps the map header"},
        {"negative texture offset", WithWord(good, LumpOffsetField(LUMP_TEXTURES), -100),
         "texture lump lies outside"},
        {"texture length past the end", WithWord(good, LumpLengthField(LUMP_TEXTURES), 0x7FFFFFFF),
         "texture lump lies outside"},
        {"no NUL", noNul, "entity text has no end inside the file"},
    };
    for (const DamagedMap& damaged : cases) {
        SCOPED_TRACE(damaged.name);
        const std::string path = WriteMap("damaged.bsp", damaged.image);
        ASSERT_EQ(file.Load(path), 1);
        EXPECT_NE(sink.Last().find(path), std::string::npos) << sink.Last();
        EXPECT_NE(sink.Last().find(damaged.messagePart), std::string::npos) << sink.Last();
        EXPECT_EQ(file.GetEntityText(), nullptr);
    }
}

TEST_F(BspFileLoad, FilesOfTwoGibibytesOrMoreAreRefusedBeforeReading) {
    const std::string path = WriteMap("huge.bsp", CMapBuilder().Build());
    // Sparse: no disk space is used.
    std::filesystem::resize_file(path, std::uintmax_t{1} << 31);
    EXPECT_EQ(file.Load(path), 1);
    EXPECT_EQ(sink.Last(),
              "The file: " + path + "\nis too large for a map: maps are smaller than 2 GiB.");
}

TEST_F(BspFileLoad, EntityTextEndingAtTheLastByteOfTheFileIsAccepted) {
    // The entity lump last in the file, its NUL the last byte.
    const Bytes reordered =
        CMapBuilder()
            .Order({LUMP_TEXTURES, LUMP_PLANES, LUMP_LEAFS, LUMP_VERTEXES, LUMP_NODES, LUMP_TEXINFO,
                    LUMP_FACES, LUMP_CLIPNODES, LUMP_MARKSURFACES, LUMP_SURFEDGES, LUMP_EDGES,
                    LUMP_MODELS, LUMP_LIGHTING, LUMP_VISIBILITY, LUMP_ENTITIES})
            .Build();
    ASSERT_EQ(reordered.back(), 0);
    ASSERT_EQ(file.Load(WriteMap("last.bsp", reordered)), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n\"classname\" \"worldspawn\"\n}\n");
}

}  // namespace
}  // namespace entorra
