// Maps as users have them: the Blue Shift header, a BSPX directory behind the lumps, bytes
// after them, in the lump orders compilers and other tools write. Every save keeps every lump
// but the entity lump, the map's checksum and every BSPX lump where readers find them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/Bspx.h"
#include "bsp/MapInfo.h"
#include "bsp/MapFindings.h"
#include "bsp/MapVariant.h"
#include "entities/EntityText.h"
#include "tests/bsp/PieceByPiece.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/MapReading.h"
#include "tests/support/MemoryFileSystem.h"
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
            // The plain layout, as before there were variants: the bytes before the entity lump
            // with two header words changed, the new lump, the texture lump directly behind it.
            const std::size_t head = EntryOffset(original, entityEntry);
            Bytes expected(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(head));
            WriteInt32LE(expected, LumpLengthField(entityEntry),
                         static_cast<std::int32_t>(expectedLump.size()));
            WriteInt32LE(expected, LumpOffsetField(LUMP_TEXTURES),
                         static_cast<std::int32_t>(head + expectedLump.size()));
            expected.insert(expected.end(), expectedLump.begin(), expectedLump.end());
            const Bytes textures = EntryBytes(original, LUMP_TEXTURES);
            expected.insert(expected.end(), textures.begin(), textures.end());
            EXPECT_EQ(written, expected);
        }

        ASSERT_EQ(file.Load(path), 0) << sink.Last();
        EXPECT_EQ(std::string(file.GetEntityText(), file.EntityTextLength()),
                  expectedLump.substr(0, expectedLump.size() - 1));
    }
}

TEST_P(MapVariantSave, ReadPieceByPieceGivesTheSameInspection) {
    testing::ExpectPieceByPieceAsWhole(GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(Generated, MapVariantSave,
                         ::testing::ValuesIn(fixtures::MapVariants(kText)),
                         [](const auto& test) { return testing::TestName(test.param.name); });

struct DetectionCase {
    const char* name;
    std::function<Bytes()> image;
    BspVariant kind;
    std::string doubt;
};

void PrintTo(const DetectionCase& detection, std::ostream* out) {
    *out << detection.name;
}

// A map with the given lumps in entries 0 and 1 (by what the builder calls them).
Bytes WithFirstEntries(Bytes entry0, Bytes entry1) {
    return fixtures::CMapBuilder()
        .Lump(LUMP_ENTITIES, std::move(entry0))
        .Lump(LUMP_PLANES, std::move(entry1))
        .Align(4)
        .Build();
}

Bytes TextLump(const std::string& text) {
    Bytes lump(text.begin(), text.end());
    lump.push_back(0);
    return lump;
}

Bytes PlanesWithNormal(float x, float y, float z) {
    Bytes planes = fixtures::MakePlanes(5);
    const float normal[3] = {x, y, z};
    std::memcpy(planes.data() + 3 * 20, normal, sizeof normal);
    return planes;
}

const std::vector<DetectionCase> kDetections = {
    {"Half-Life as compilers write it", [] { return fixtures::MakeMap(kText); },
     BspVariant::HalfLife, ""},
    {"Half-Life with planes that check out",
     [] { return WithFirstEntries(TextLump(kText), fixtures::MakePlanes(7)); },
     BspVariant::HalfLife, ""},
    {"Blue Shift", [] { return WithFirstEntries(fixtures::MakePlanes(7), TextLump(kText)); },
     BspVariant::BlueShift, ""},
    {"Blue Shift with blanks before the first block",
     [] { return WithFirstEntries(fixtures::MakePlanes(7), TextLump("\r\n  " + kText)); },
     BspVariant::BlueShift, ""},
    {"Blue Shift as a save leaves it when no block is left",
     [] { return WithFirstEntries(fixtures::MakePlanes(7), TextLump("\n")); },
     BspVariant::BlueShift, ""},
    {"Blue Shift as a save leaves text with a closing brace only",
     [] { return WithFirstEntries(fixtures::MakePlanes(7), TextLump("ab\n}\n")); },
     BspVariant::BlueShift, ""},
    {"Blue Shift as a forced save leaves text with a NUL inside",
     [] {
         return WithFirstEntries(fixtures::MakePlanes(7),
                                 TextLump(std::string("{\n}\n\0{\n}\n", 9)));
     },
     BspVariant::BlueShift, ""},
    {"Half-Life with an empty entity text", [] { return fixtures::MakeMap(""); },
     BspVariant::HalfLife, ""},
    {"Half-Life with text but no block",
     [] { return fixtures::MakeMap("\"classname\" \"worldspawn\"\n}\n"); }, BspVariant::HalfLife,
     ""},
    {"Half-Life with bytes after the text's NUL",
     [] { return fixtures::CMapBuilder().EntityText(kText, 9).Build(); }, BspVariant::HalfLife, ""},
    {"binary data in entry 0 and entry 1",
     [] {
         Bytes binary = fixtures::PatternBytes(64, 5);
         binary[0] = 0x01;
         binary[40] = 0;
         return WithFirstEntries(binary, fixtures::PatternBytes(40, 6));
     },
     BspVariant::Unrecognised,
     "entry 0 of its header does not hold entity text, and entry 1 does not either"},
    {"planes in entry 0 and entry 1",
     [] { return WithFirstEntries(fixtures::MakePlanes(4), fixtures::MakePlanes(7)); },
     BspVariant::Unrecognised,
     "entry 0 of its header does not hold entity text, and entry 1 does not either"},
    {"plain text in entry 0 and planes in entry 1",
     [] { return WithFirstEntries(TextLump("AAAA"), fixtures::MakePlanes(7)); },
     BspVariant::HalfLife, ""},
    {"entity text in entry 1, entry 0 not a whole number of planes",
     [] { return WithFirstEntries(fixtures::PatternBytes(50, 3), TextLump(kText)); },
     BspVariant::Unrecognised,
     "entry 1 of its header holds entity text, but entry 0 holds neither entity text nor planes "
     "(its 50 bytes are not a whole number of 20-byte planes)"},
    {"entity text in entry 1, a plane of entry 0 not of unit length",
     [] { return WithFirstEntries(PlanesWithNormal(2, 0, 0), TextLump(kText)); },
     BspVariant::Unrecognised,
     "entry 1 of its header holds entity text, but entry 0 holds neither entity text nor planes "
     "(plane 3 has a normal of length 2)"},
    {"entity text in entry 1, a plane of entry 0 with no number as its normal",
     [] { return WithFirstEntries(PlanesWithNormal(NAN, 0, 0), TextLump(kText)); },
     BspVariant::Unrecognised,
     "entry 1 of its header holds entity text, but entry 0 holds neither entity text nor planes "
     "(plane 3 has a normal of length nan)"},
    {"entity text in entry 1, entry 0 empty",
     [] { return WithFirstEntries(Bytes{}, TextLump(kText)); }, BspVariant::Unrecognised,
     "entry 1 of its header holds entity text, but entry 0 holds neither entity text nor planes "
     "(it is empty)"},
};

class Detection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(Detection, ReadsTheVariantFromTheContent) {
    const MapVariant variant = DetectVariant(GetParam().image());
    EXPECT_EQ(variant.kind, GetParam().kind);
    EXPECT_EQ(variant.doubt, GetParam().doubt);
}

// Whatever the variant, a save writes entity text only over entity text: an unrecognised map
// is refused with the reason and left as it was.
TEST_P(Detection, ASaveWritesOnlyOverEntityText) {
    testing::CMemoryFileSystem fileSystem;
    const Bytes image = GetParam().image();
    fileSystem.files["m.bsp"] = image;
    CRecordingSink sink;
    CBspFile file(sink, fileSystem);
    if (file.Load("m.bsp") != 0) {
        // Read as published, entry 0 may not even end inside the file.
        EXPECT_EQ(GetParam().kind, BspVariant::Unrecognised) << sink.Last();
        return;
    }
    std::string text = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
    if (GetParam().kind == BspVariant::Unrecognised) {
        EXPECT_EQ(file.Save("m.bsp", text), 1);
        EXPECT_EQ(sink.Last(), "Error saving the file: m.bsp.\nIts layout is not recognised: " +
                                   GetParam().doubt +
                                   ". Entity text is written only over an entity lump.");
        EXPECT_EQ(fileSystem.files["m.bsp"], image);
        return;
    }
    ASSERT_EQ(file.Save("m.bsp", text), 0) << sink.Last();
    const int entityEntry = GetParam().kind == BspVariant::BlueShift ? 1 : 0;
    const Bytes& written = fileSystem.files["m.bsp"];
    EXPECT_EQ(EntryBytes(written, entityEntry), TextLump(text));
    EXPECT_EQ(EntryBytes(written, 1 - entityEntry), EntryBytes(image, 1 - entityEntry));
    // Found again where it was written.
    ASSERT_EQ(file.Load("m.bsp"), 0);
    EXPECT_EQ(file.Variant().kind, GetParam().kind);
    EXPECT_EQ(file.GetEntityText(), text);
}

TEST_P(Detection, ReadPieceByPieceGivesTheSameInspection) {
    testing::ExpectPieceByPieceAsWhole(GetParam().image());
}

INSTANTIATE_TEST_SUITE_P(MapVariants, Detection, ::testing::ValuesIn(kDetections),
                         [](const auto& test) { return testing::TestName(test.param.name); });

TEST(MapVariants, BlueShiftNamesItsEntriesByWhatTheyHold) {
    const MapVariant blueShift{BspVariant::BlueShift, ""};
    EXPECT_EQ(blueShift.EntityEntry(), 1);
    EXPECT_STREQ(blueShift.EntryName(0), "planes");
    EXPECT_STREQ(blueShift.EntryName(1), "entities");
    EXPECT_STREQ(blueShift.EntryName(2), "textures");
    EXPECT_EQ(blueShift.EntryOf(LUMP_PLANES), 0);
    const MapVariant halfLife;
    EXPECT_EQ(halfLife.EntityEntry(), 0);
    EXPECT_STREQ(halfLife.EntryName(0), "entities");
}

TEST(MapVariants, TheInspectionNamesABlueShiftLayout) {
    const Bytes image = fixtures::CMapBuilder()
                            .EntityText(kText)
                            .Lump(LUMP_PLANES, fixtures::MakePlanes(7))
                            .BlueShift()
                            .Align(4)
                            .Build();
    const MapInspection inspection = InspectMap(image);
    ASSERT_EQ(inspection.findings.size(), 1u);
    EXPECT_EQ(inspection.findings[0].fault, MapFault::BlueShiftLayout);
    EXPECT_EQ(inspection.findings[0].severity, MapSeverity::Information);
    EXPECT_EQ(inspection.entityText, kText);
    EXPECT_EQ(inspection.variant.kind, BspVariant::BlueShift);
}

TEST(Bspx, ReadsTheDirectoryWhereReadersLookForIt) {
    const Bytes image = fixtures::CMapBuilder()
                            .Align(4)
                            .Bspx({{"LMSHIFT", fixtures::PatternBytes(5, 1)},
                                   {std::string(24, 'N'), fixtures::PatternBytes(8, 2)},
                                   {"EMPTY", {}}})
                            .Trailing({1, 2, 3})
                            .Build();
    const BspxDirectory directory = ReadBspxDirectory(image);
    EXPECT_EQ(directory.state, BspxDirectory::State::Valid);
    EXPECT_EQ(directory.offset, BspxDirectoryAt(image));
    ASSERT_EQ(directory.entries.size(), 3u);
    EXPECT_EQ(directory.entries[0].name, "LMSHIFT");
    EXPECT_EQ(directory.entries[1].name, std::string(24, 'N'));  // a name filling its field
    EXPECT_EQ(directory.entries[2].length, 0);
    const auto lumps = BspxLumps(image);
    EXPECT_EQ(lumps.at("LMSHIFT"), fixtures::PatternBytes(5, 1));
    EXPECT_EQ(lumps.at("EMPTY"), Bytes{});

    // Nothing there, or something else there.
    EXPECT_EQ(ReadBspxDirectory(fixtures::MakeMap(kText)).state, BspxDirectory::State::Absent);
    EXPECT_EQ(ReadBspxDirectory(
                  fixtures::CMapBuilder().Align(4).Trailing(fixtures::PatternBytes(40, 9)).Build())
                  .state,
              BspxDirectory::State::Absent);
}

TEST(Bspx, AnEntityTextRunningIntoTheDirectoryIsRefused) {
    // Entity lump last, BSPX directory behind it; its NUL and padding overwritten, the text
    // now runs on into "BSPX".
    Bytes image = fixtures::MapVariants(kText)[10].image;
    ASSERT_EQ(fixtures::MapVariants(kText)[10].name, "Half-Life, entities last, BSPX");
    const std::size_t directory = BspxDirectoryAt(image);
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(EntryOffset(image, 0) + kText.size()),
              image.begin() + static_cast<std::ptrdiff_t>(directory), std::uint8_t{'x'});
    testing::CMemoryFileSystem fileSystem;
    fileSystem.files["m.bsp"] = image;
    CRecordingSink sink;
    CBspFile file(sink, fileSystem);
    ASSERT_EQ(file.Load("m.bsp"), 0) << sink.Last();
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save("m.bsp", text), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: m.bsp.\nIts entity text runs into the BSPX directory "
              "behind it.");
    EXPECT_EQ(fileSystem.files["m.bsp"], image);
}

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
