#pragma once

// The reading commands inspect a map piece by piece; whatever the map, that must find what
// inspecting its whole image finds.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bsp/BspFile.h"
#include "bsp/MapFindings.h"
#include "tests/support/MemoryFileSystem.h"

namespace entorra::testing {

inline void ExpectPieceByPieceAsWhole(const std::vector<std::uint8_t>& image) {
    CMemoryFileSystem fileSystem;
    fileSystem.files["m.bsp"] = image;
    const MapInspection whole = InspectMap(image);
    const Result<MapExcerpt> read = InspectMapFile(fileSystem, "m.bsp");
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const MapInspection& pieces = read->inspection;
    EXPECT_TRUE(pieces.findings == whole.findings);
    EXPECT_EQ(pieces.variant, whole.variant);
    EXPECT_EQ(pieces.entityText, whole.entityText);
    EXPECT_EQ(pieces.entityTextOffset, whole.entityTextOffset);
    EXPECT_EQ(pieces.bspx.state, whole.bspx.state);
    EXPECT_EQ(pieces.bspx.entries, whole.bspx.entries);
    EXPECT_LE(read->bytes->BytesRead(), image.size());
}

}  // namespace entorra::testing
