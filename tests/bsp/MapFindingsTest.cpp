// The one inspection of a map's bytes, and the map file object's agreement with it.

#include "bsp/MapFindings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "tests/bsp/PieceByPiece.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {

// Found by the test framework beside the type.
void PrintTo(const MapFinding& finding, std::ostream* out);
void PrintTo(const MapFinding& finding, std::ostream* out) {
    *out << "{" << static_cast<int>(finding.severity) << " \"" << finding.message << "\" lump "
         << finding.lump << " offset " << (finding.offset ? std::to_string(*finding.offset) : "-")
         << "}";
}

namespace {

using fixtures::Bytes;
using fixtures::HeaderWord;

const std::string kEntities =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n";

const Bytes& Good() {
    static const Bytes good = fixtures::MakeMap(kEntities);
    return good;
}

Bytes Patched(Bytes image, std::size_t field, std::int32_t value) {
    WriteInt32LE(image, field, value);
    return image;
}

std::int32_t OffsetOf(int lump) {
    return HeaderWord(Good(), LumpOffsetField(lump));
}

std::int32_t LengthOf(int lump) {
    return HeaderWord(Good(), LumpLengthField(lump));
}

struct DamagedCase {
    const char* name;
    std::function<Bytes()> image;
    std::function<std::vector<MapFinding>()> expected;  // the findings, all of them, in order
};

void PrintTo(const DamagedCase& damaged, std::ostream* out) {
    *out << damaged.name;
}

const std::vector<DamagedCase> kDamagedMaps = {
    {"shorter than the header", [] { return Bytes(100, 0); },
     [] {
         return std::vector<MapFinding>{{MapFault::TooShort, MapSeverity::Fatal,
                                         "the file is shorter than the 124-byte map header",
                                         kNoLump, std::nullopt}};
     }},
    {"no version read from a file shorter than the header",
     [] { return Patched(Bytes(40, 7), kVersionOffset, 30); },
     [] {
         return std::vector<MapFinding>{{MapFault::TooShort, MapSeverity::Fatal,
                                         "the file is shorter than the 124-byte map header",
                                         kNoLump, std::nullopt}};
     }},
    {"version 29", [] { return Patched(Good(), kVersionOffset, 29); },
     [] {
         return std::vector<MapFinding>{
             {MapFault::WrongVersion, MapSeverity::Fatal, "BSP is version 29, not 30", kNoLump, 0}};
     }},
    {"nodes lump past the end",
     [] { return Patched(Good(), LumpLengthField(LUMP_NODES), 1 << 30); },
     [] {
         return std::vector<MapFinding>{
             {MapFault::LumpOutside, MapSeverity::Error,
              Format("the nodes lump (offset %d, length 1073741824) lies outside the file of "
                     "%zu bytes",
                     OffsetOf(LUMP_NODES), Good().size()),
              LUMP_NODES, OffsetOf(LUMP_NODES)}};
     }},
    {"models lump in the header", [] { return Patched(Good(), LumpOffsetField(LUMP_MODELS), 100); },
     [] {
         return std::vector<MapFinding>{{MapFault::LumpInHeader, MapSeverity::Error,
                                         "the models lump overlaps the map header", LUMP_MODELS,
                                         100}};
     }},
    {"entity lump before the end of the header",
     [] { return Patched(Good(), LumpOffsetField(LUMP_ENTITIES), 8); },
     [] {
         return std::vector<MapFinding>{{MapFault::LumpInHeader, MapSeverity::Fatal,
                                         "the entities lump overlaps the map header", LUMP_ENTITIES,
                                         8}};
     }},
    {"empty entity lump in the header: its text is still read from there",
     [] {
         return Patched(Patched(Good(), LumpOffsetField(LUMP_ENTITIES), 8),
                        LumpLengthField(LUMP_ENTITIES), 0);
     },
     [] {
         return std::vector<MapFinding>{{MapFault::LumpInHeader, MapSeverity::Fatal,
                                         "the entities lump overlaps the map header", LUMP_ENTITIES,
                                         8}};
     }},
    {"negative entity offset", [] { return Patched(Good(), LumpOffsetField(LUMP_ENTITIES), -4); },
     [] {
         return std::vector<MapFinding>{
             {MapFault::LumpOutside, MapSeverity::Fatal,
              Format("the entities lump (offset -4, length %d) lies outside the file of %zu bytes",
                     LengthOf(LUMP_ENTITIES), Good().size()),
              LUMP_ENTITIES, -4}};
     }},
    {"texture lump past the end",
     [] { return Patched(Good(), LumpLengthField(LUMP_TEXTURES), 0x7FFFFFFF); },
     [] {
         return std::vector<MapFinding>{
             {MapFault::LumpOutside, MapSeverity::Fatal,
              Format("the textures lump (offset %d, length 2147483647) lies outside the file of "
                     "%zu bytes",
                     OffsetOf(LUMP_TEXTURES), Good().size()),
              LUMP_TEXTURES, OffsetOf(LUMP_TEXTURES)}};
     }},
    {"no NUL up to the end of the file",
     [] {
         Bytes image = Good();
         const auto from = static_cast<std::size_t>(OffsetOf(LUMP_ENTITIES));
         std::memset(image.data() + from, 'x', image.size() - from);
         return image;
     },
     [] {
         return std::vector<MapFinding>{
             {MapFault::NoTextTerminator, MapSeverity::Fatal,
              Format("a NUL missing: the entity lump has none within its %d bytes",
                     LengthOf(LUMP_ENTITIES)),
              LUMP_ENTITIES, OffsetOf(LUMP_ENTITIES) + LengthOf(LUMP_ENTITIES)}};
     }},
    // The engine would read past the text.
    {"NUL just outside the lump length",
     [] { return Patched(Good(), LumpLengthField(LUMP_ENTITIES), LengthOf(LUMP_ENTITIES) - 1); },
     [] {
         return std::vector<MapFinding>{
             {MapFault::TerminatorPastLump, MapSeverity::Error,
              Format("a NUL missing: the entity lump has none within its %d bytes",
                     LengthOf(LUMP_ENTITIES) - 1),
              LUMP_ENTITIES,
              OffsetOf(LUMP_ENTITIES) + static_cast<std::int64_t>(kEntities.size())}};
     }},
};

class DamagedMap : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedMap, GivesEachFindingWithWhereItIs) {
    const Bytes image = GetParam().image();
    EXPECT_EQ(InspectMap(image).findings, GetParam().expected());
}

TEST_P(DamagedMap, TheMapFileObjectRefusesExactlyWhatIsFatal) {
    testing::CMemoryFileSystem fileSystem;
    fileSystem.files["m.bsp"] = GetParam().image();
    testing::CRecordingSink sink;
    CBspFile file(sink, fileSystem);
    const bool fatal = InspectMap(fileSystem.files["m.bsp"]).FirstFatal() != nullptr;
    EXPECT_EQ(file.Load("m.bsp"), fatal ? 1 : 0) << sink.Last();
    EXPECT_EQ(sink.messages.size(), fatal ? 1u : 0u);
}

TEST_P(DamagedMap, ReadPieceByPieceGivesTheSameFindings) {
    testing::ExpectPieceByPieceAsWhole(GetParam().image());
}

INSTANTIATE_TEST_SUITE_P(MapInspection, DamagedMap, ::testing::ValuesIn(kDamagedMaps),
                         [](const auto& test) { return testing::TestName(test.param.name); });

TEST(MapInspection, AGoodMapHasNoFindingsAndGivesItsEntityText) {
    const MapInspection inspection = InspectMap(Good());
    EXPECT_TRUE(inspection.findings.empty());
    EXPECT_EQ(inspection.entityText, kEntities);
    EXPECT_EQ(inspection.FirstFatal(), nullptr);
}

TEST(MapInspection, OverlappingLumpsAreNamedInIndexOrder) {
    const MapInspection inspection =
        InspectMap(Patched(Good(), LumpOffsetField(LUMP_VERTEXES), OffsetOf(LUMP_PLANES)));
    ASSERT_FALSE(inspection.findings.empty());
    const MapFinding& first = inspection.findings.front();
    EXPECT_EQ(first.message, "the planes lump overlaps the vertexes lump");
    EXPECT_EQ(first.severity, MapSeverity::Error);
    EXPECT_EQ(first.lump, LUMP_PLANES);
    EXPECT_EQ(first.offset, OffsetOf(LUMP_PLANES));
    EXPECT_EQ(inspection.FirstFatal(), nullptr);
}

TEST(MapInspection, UnalignedLumpsAndAMovedLayoutAreInformation) {
    const Bytes loose =
        fixtures::CMapBuilder().Order({1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 0}).Build();
    const MapInspection inspection = InspectMap(loose);
    ASSERT_FALSE(inspection.findings.empty());
    EXPECT_EQ(inspection.Count(MapSeverity::Information),
              static_cast<int>(inspection.findings.size()));
    const auto leafs =
        std::find_if(inspection.findings.begin(), inspection.findings.end(),
                     [](const MapFinding& finding) { return finding.lump == LUMP_LEAFS; });
    ASSERT_NE(leafs, inspection.findings.end());
    EXPECT_EQ(leafs->message, Format("the leafs lump starts at offset %d, not on a multiple of 4",
                                     HeaderWord(loose, LumpOffsetField(LUMP_LEAFS))));
    EXPECT_EQ(leafs->fault, MapFault::LumpUnaligned);
    EXPECT_EQ(inspection.findings.back().message,
              "the entity lump is not followed by the texture lump ending the file: a save "
              "moves what lies behind the entity lump and keeps every byte");
    EXPECT_EQ(inspection.findings.back().fault, MapFault::NotInFileOrder);
}

TEST(MapInspection, TheVersionComesBeforeTheLumpsForTheMapFileObject) {
    // Both wrong: the map file object names the version, as it always has.
    Bytes image = Patched(Good(), kVersionOffset, 31);
    image = Patched(image, LumpOffsetField(LUMP_ENTITIES), -4);
    const MapInspection inspection = InspectMap(image);
    ASSERT_NE(inspection.FirstFatal(), nullptr);
    EXPECT_EQ(inspection.FirstFatal()->fault, MapFault::WrongVersion);
    EXPECT_EQ(inspection.Count(MapSeverity::Fatal), 2);
}

}  // namespace
}  // namespace entorra
