#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/MapInfo.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using fixtures::CMapBuilder;
using fixtures::HeaderWord;
using testing::CRecordingSink;
using testing::CTempDir;

class BspFileSave : public ::testing::Test {
protected:
    std::string WriteMap(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        fixtures::WriteFileBytes(path, bytes);
        return path;
    }
    Bytes Read(const std::string& path) { return fixtures::ReadFileBytes(path); }

    CTempDir dir;
    CRecordingSink sink;
    CBspFile file{sink};
};

// 900 bytes: 13 lumps in the first 600, the entity lump at 600 (201 bytes: 200 characters of
// text and the NUL), the texture lump of 99 bytes directly behind it, ending the file.
Bytes NineHundredByteMap() {
    Bytes image(900, 0);
    const Bytes filler = fixtures::PatternBytes(900, 5);
    std::copy(filler.begin(), filler.end(), image.begin());
    WriteInt32LE(image, kVersionOffset, 30);
    std::int32_t offset = 124;
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        if (lump == LUMP_TEXTURES) {
            continue;
        }
        const std::int32_t length = lump == LUMP_MODELS ? 44 : 36;
        WriteInt32LE(image, LumpOffsetField(lump), offset);
        WriteInt32LE(image, LumpLengthField(lump), length);
        offset += length;
    }
    WriteInt32LE(image, LumpOffsetField(LUMP_ENTITIES), 600);
    WriteInt32LE(image, LumpLengthField(LUMP_ENTITIES), 201);
    WriteInt32LE(image, LumpOffsetField(LUMP_TEXTURES), 801);
    WriteInt32LE(image, LumpLengthField(LUMP_TEXTURES), 99);
    // The old entity text fills the lump up to its NUL: a save writes only over entity text.
    const std::string oldText = "{\n\"message\" \"" + std::string(183, 'o') + "\"\n}\n";
    std::copy(oldText.begin(), oldText.end(), image.begin() + 600);
    image[800] = 0;  // the old text's NUL
    return image;
}

TEST_F(BspFileSave, NineHundredByteMapIsWrittenByteForByte) {
    const Bytes original = NineHundredByteMap();
    const std::string path = WriteMap("x1.bsp", original);
    ASSERT_EQ(file.Load(path), 0);

    const std::string fileText = "{\n\"k\" \"" + std::string(139, 'x') + "\"\n}\n";
    ASSERT_EQ(fileText.size(), 150u);
    std::string editorText = MakeEditorText(fileText);
    ASSERT_EQ(file.Save(path, editorText), 0);
    EXPECT_EQ(editorText, fileText);
    EXPECT_EQ(sink.Last(), "The file:  x1.bsp\nwas saved!");

    const Bytes written = Read(path);
    ASSERT_EQ(written.size(), 850u);
    EXPECT_EQ(HeaderWord(written, 8), 151);
    EXPECT_EQ(HeaderWord(written, 20), 751);
    Bytes expected(original.begin(), original.begin() + 600);
    WriteInt32LE(expected, 8, 151);
    WriteInt32LE(expected, 20, 751);
    expected.insert(expected.end(), fileText.begin(), fileText.end());
    expected.push_back(0);
    expected.insert(expected.end(), original.begin() + 801, original.end());
    EXPECT_EQ(written, expected);
    for (std::size_t word : {0u, 4u, 24u}) {
        EXPECT_EQ(HeaderWord(written, word), HeaderWord(original, word)) << word;
    }
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        if (lump != LUMP_TEXTURES) {
            EXPECT_EQ(HeaderWord(written, LumpOffsetField(lump)),
                      HeaderWord(original, LumpOffsetField(lump)));
            EXPECT_EQ(HeaderWord(written, LumpLengthField(lump)),
                      HeaderWord(original, LumpLengthField(lump)));
        }
    }
}

struct PreparedCase {
    const char* name;
    std::string editorText;
    std::string written;
};

TEST_F(BspFileSave, WritesThePreparedTextAndItsNul) {
    const std::vector<PreparedCase> cases = {
        {"three lines and an empty one", "{\r\n\"classname\" \"light\"\r\n}\r\n\r\n",
         "{\n\"classname\" \"light\"\n}\n"},
        {"text around the blocks", "\r\n  junk\r\n{\r\n}\r\ntail words", "{\n}\n"},
        {"no closing brace", "{\r\n\"a\" \"b\"\r\n", "\n"},
        {"empty", "", "\n"},
        {"closing brace but no opening one", "ab\r\n}c", "ab\n}\n"},
        {"lone CR and LF stay", "{\r\"a\"\n\r\r\n}", "{\r\"a\"\n\r\n}\n"},
    };
    for (const PreparedCase& prepared : cases) {
        SCOPED_TRACE(prepared.name);
        const std::string path = WriteMap("m.bsp", fixtures::MakeMap("{\n\"old\" \"text\"\n}\n"));
        ASSERT_EQ(file.Load(path), 0);
        std::string text = prepared.editorText;
        ASSERT_EQ(file.Save(path, text), 0);
        EXPECT_EQ(text, prepared.written);
        const Bytes written = Read(path);
        const std::int32_t offset = HeaderWord(written, 4);
        const std::int32_t length = HeaderWord(written, 8);
        EXPECT_EQ(length, static_cast<std::int32_t>(prepared.written.size()) + 1);
        const std::string lump(written.begin() + offset, written.begin() + offset + length);
        EXPECT_EQ(lump, prepared.written + std::string(1, '\0'));
        ASSERT_EQ(file.Load(path), 0);
        EXPECT_EQ(file.GetEntityText(), prepared.written);
    }
}

TEST_F(BspFileSave, NothingLoadedReturnsTwoAndTouchesNothing) {
    const std::string path = dir.File("never.bsp");
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(path, text), 2);
    EXPECT_EQ(text, "{\r\n}\r\n");
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(BspFileSave, MessagesNameTheFileWithoutItsFolder) {
    EXPECT_EQ(FileNameOfPath("C:\\games\\maps\\x1.bsp"), "x1.bsp");
    EXPECT_EQ(FileNameOfPath("/srv/hlds/cstrike/maps/de_x.bsp"), "de_x.bsp");
    EXPECT_EQ(FileNameOfPath("x1.bsp"), "x1.bsp");
}

TEST_F(BspFileSave, ASecondSaveWithoutReloadWritesACorrectMap) {
    const std::string path = WriteMap("twice.bsp", fixtures::MakeMap(fixtures::MakeEntityText(20)));
    ASSERT_EQ(file.Load(path), 0);
    std::string shorter = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
    ASSERT_EQ(file.Save(path, shorter), 0);
    EXPECT_STREQ(file.GetEntityText(), shorter.c_str());
    std::string longer = MakeEditorText(fixtures::MakeEntityText(40));
    ASSERT_EQ(file.Save(path, longer), 0);

    // The same as loading afresh and saving once.
    const std::string reference =
        WriteMap("reference.bsp", fixtures::MakeMap(fixtures::MakeEntityText(20)));
    CBspFile fresh(sink);
    ASSERT_EQ(fresh.Load(reference), 0);
    std::string again = MakeEditorText(fixtures::MakeEntityText(40));
    ASSERT_EQ(fresh.Save(reference, again), 0);
    EXPECT_EQ(Read(path), Read(reference));
}

std::vector<Bytes> LumpContents(const Bytes& image) {
    std::vector<Bytes> lumps;
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        const auto offset = static_cast<std::size_t>(HeaderWord(image, LumpOffsetField(lump)));
        const auto length = static_cast<std::size_t>(HeaderWord(image, LumpLengthField(lump)));
        lumps.emplace_back(image.begin() + static_cast<std::ptrdiff_t>(offset),
                           image.begin() + static_cast<std::ptrdiff_t>(offset + length));
    }
    return lumps;
}

TEST_F(BspFileSave, OtherLumpOrdersKeepEveryLumpAlignedAndTheChecksum) {
    const std::vector<int> entitiesInTheMiddle = {
        LUMP_TEXTURES,  LUMP_PLANES,  LUMP_LEAFS,  LUMP_VERTEXES,  LUMP_NODES,
        LUMP_ENTITIES,  LUMP_TEXINFO, LUMP_FACES,  LUMP_CLIPNODES, LUMP_MARKSURFACES,
        LUMP_SURFEDGES, LUMP_EDGES,   LUMP_MODELS, LUMP_LIGHTING,  LUMP_VISIBILITY};
    struct Layout {
        const char* name;
        Bytes image;
    };
    const std::vector<Layout> layouts = {
        {"entities in the middle", CMapBuilder().Order(entitiesInTheMiddle).Align(4, 0xEE).Build()},
        {"bytes after the texture lump",
         CMapBuilder().Align(4).Trailing(fixtures::PatternBytes(13, 3)).Build()},
        {"entity lump with slack after its NUL",
         CMapBuilder().EntityText("{\n}\n", 40).Order(entitiesInTheMiddle).Align(4).Build()},
    };
    for (const Layout& layout : layouts) {
        for (const int blocks : {0, 3, 60}) {
            SCOPED_TRACE(std::string(layout.name) + ", blocks " + std::to_string(blocks));
            const std::string path = WriteMap("moved.bsp", layout.image);
            ASSERT_EQ(file.Load(path), 0);
            ASSERT_FALSE(
                DescribeMap(file.Image(), file.Variant(), file.EntityTextLength()).meetsFileOrder);
            const auto checksum = MapChecksum(layout.image);
            std::string text = MakeEditorText(fixtures::MakeEntityText(blocks));
            ASSERT_EQ(file.Save(path, text), 0);

            const Bytes written = Read(path);
            const auto before = LumpContents(layout.image);
            const auto after = LumpContents(written);
            for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
                EXPECT_EQ(after[static_cast<std::size_t>(lump)],
                          before[static_cast<std::size_t>(lump)])
                    << lump;
                EXPECT_EQ(HeaderWord(written, LumpOffsetField(lump)) % 4,
                          HeaderWord(layout.image, LumpOffsetField(lump)) % 4)
                    << lump;
            }
            EXPECT_EQ(MapChecksum(written), checksum);
            const Bytes trailingBefore(layout.image.end() - 13, layout.image.end());
            const Bytes trailingAfter(written.end() - 13, written.end());
            EXPECT_EQ(trailingAfter, trailingBefore);
            ASSERT_EQ(file.Load(path), 0);
            EXPECT_EQ(file.GetEntityText(), text);
        }
    }
}

TEST_F(BspFileSave, LumpsOverlappingTheEntityLumpAreRefusedAndNothingIsWritten) {
    Bytes image = CMapBuilder().Align(4).Build();
    // The lighting lump now covers the entity lump.
    WriteInt32LE(image, LumpOffsetField(LUMP_LIGHTING),
                 HeaderWord(image, LumpOffsetField(LUMP_ENTITIES)) - 4);
    WriteInt32LE(image, LumpLengthField(LUMP_LIGHTING), 8);
    const std::string path = WriteMap("overlap.bsp", image);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: overlap.bsp.\nIts lighting lump overlaps the entity lump.");
    EXPECT_EQ(Read(path), image);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"overlap.bsp"});
    // Still the map on disk, and still refused.
    EXPECT_NE(file.GetEntityText(), nullptr);
    EXPECT_EQ(file.Save(path, text), 1);
}

TEST_F(BspFileSave, ALumpSharingBytesWithTheHeaderIsRefused) {
    Bytes image = CMapBuilder().Align(4).Build();
    WriteInt32LE(image, LumpOffsetField(LUMP_LIGHTING), 0);
    const std::string path = WriteMap("header.bsp", image);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: header.bsp.\nIts lighting lump overlaps the map header.");
    EXPECT_EQ(Read(path), image);
}

TEST_F(BspFileSave, EmptyLumpsNeverPointPastTheEndOfAShrunkenMap) {
    // An empty texture lump inside an entity text that runs past its stored length.
    Bytes inside =
        CMapBuilder().EntityText(fixtures::MakeEntityText(8)).Align(4).Trailing({1, 2, 3}).Build();
    const std::int32_t entityOffset = HeaderWord(inside, LumpOffsetField(LUMP_ENTITIES));
    WriteInt32LE(inside, LumpLengthField(LUMP_ENTITIES), 16);
    WriteInt32LE(inside, LumpOffsetField(LUMP_TEXTURES), entityOffset + 100);
    WriteInt32LE(inside, LumpLengthField(LUMP_TEXTURES), 0);
    // An empty lump behind the texture lump of a map in the usual layout.
    Bytes behind = fixtures::MakeMap(fixtures::MakeEntityText(8));
    WriteInt32LE(behind, LumpOffsetField(LUMP_MODELS), static_cast<std::int32_t>(behind.size()));
    WriteInt32LE(behind, LumpLengthField(LUMP_MODELS), 0);

    for (const Bytes& image : {inside, behind}) {
        const std::string path = WriteMap("empty.bsp", image);
        ASSERT_EQ(file.Load(path), 0);
        std::string text = "{\r\n}\r\n";
        ASSERT_EQ(file.Save(path, text), 0);
        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        EXPECT_EQ(MapChecksum(Read(path)), MapChecksum(image));
        EXPECT_TRUE(MapChecksum(Read(path)).has_value());
        std::string again = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
        EXPECT_EQ(file.Save(path, again), 0);
        EXPECT_EQ(file.Load(path), 0) << sink.Last();
    }
}

#if !defined(_WIN32)
// Windows keeps attributes instead (its own test).
TEST_F(BspFileSave, KeepsPermissionsAndReplacesTheTargetOfALink) {
    const std::string path = WriteMap("real.bsp", fixtures::MakeMap("{\n}\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string link = dir.File("link.bsp");
    std::filesystem::create_symlink("real.bsp", link);

    ASSERT_EQ(file.Load(link), 0);
    std::string text = "{\r\n\"classname\" \"light\"\r\n}\r\n";
    ASSERT_EQ(file.Save(link, text), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    ASSERT_EQ(file.Load(path), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n\"classname\" \"light\"\n}\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.bsp", "real.bsp"}));
}
#endif

TEST_F(BspFileSave, AMissingMapIsCreated) {
    const std::string source = WriteMap("source.bsp", fixtures::MakeMap("{\n}\n"));
    ASSERT_EQ(file.Load(source), 0);
    const std::string copy = dir.File("copy.bsp");
    std::string text = "{\r\n}\r\n";
    ASSERT_EQ(file.Save(copy, text), 0);
    ASSERT_EQ(file.Load(copy), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n}\n");
}

}  // namespace
}  // namespace entorra
