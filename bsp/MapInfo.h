#pragma once

// Facts about a loaded map for reports: its variant, lumps in file order, the save layout, the
// BSPX directory, the checksums.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bsp/BspFormat.h"
#include "bsp/Bspx.h"
#include "bsp/MapVariant.h"

namespace entorra {

struct PlacedLump {
    int index = 0;  // the header entry
    LumpEntry entry;
};

struct MapInfo {
    std::int32_t version = 0;
    MapVariant variant;
    std::vector<PlacedLump> lumpsInFileOrder;
    bool meetsFileOrder = false;
    std::size_t entityTextLength = 0;
    std::size_t entityBlockCount = 0;  // "{" characters in the entity text
    BspxDirectory bspx;
    std::optional<std::uint32_t> checksum;
    // The other rule engines follow: every lump but the one in entry 0, whatever it holds.
    std::optional<std::uint32_t> checksumSkippingEntry0;
};

// CRC-32 over the bytes of every header entry's lump but the one skipped, in entry order. None
// when a lump lies outside the image.
std::optional<std::uint32_t> ChecksumSkipping(std::span<const std::uint8_t> image, int skipped);

// The checksum the engine compares between server and client: every lump but the entity lump,
// wherever the variant has it.
std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image,
                                         const MapVariant& variant);
// The same, the variant read from the image (which must hold the map header).
std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image);

// The image must have no fatal finding (InspectMap), which gave the variant.
MapInfo DescribeMap(std::span<const std::uint8_t> image, const MapVariant& variant,
                    std::size_t entityTextLength);

}  // namespace entorra
