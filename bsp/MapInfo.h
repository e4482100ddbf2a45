#pragma once

// Facts about a loaded map for reports: lumps in file order, the save layout, the checksum.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bsp/BspFormat.h"

namespace entorra {

struct PlacedLump {
    int index = 0;
    LumpEntry entry;
};

struct MapInfo {
    std::int32_t version = 0;
    std::vector<PlacedLump> lumpsInFileOrder;
    bool meetsFileOrder = false;
    std::size_t entityTextLength = 0;
    std::size_t entityBlockCount = 0;  // "{" characters in the entity text
    std::optional<std::uint32_t> checksum;
};

// The checksum the engine compares between server and client: CRC-32 over the bytes of every
// lump but the entity lump, in lump-index order. None when a lump lies outside the image.
std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image);

// The image must have no fatal finding (InspectMap).
MapInfo DescribeMap(std::span<const std::uint8_t> image, std::size_t entityTextLength);

}  // namespace entorra
