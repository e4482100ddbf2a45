#include "bsp/MapInfo.h"

#include <zlib.h>

#include <algorithm>

#include "bsp/MapLayout.h"

namespace entorra {

std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image) {
    const BspHeader header = ReadBspHeader(image);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        if (lump == LUMP_ENTITIES) {
            continue;
        }
        const LumpEntry& entry = header.lumps[static_cast<std::size_t>(lump)];
        // An empty lump adds nothing, wherever its offset points.
        if (entry.length == 0) {
            continue;
        }
        if (!entry.LiesInside(image.size())) {
            return std::nullopt;
        }
        // zlib takes lengths as uInt; map lumps are below 2 GiB, so one call each suffices.
        crc = crc32(crc, image.data() + entry.offset, static_cast<uInt>(entry.length));
    }
    return static_cast<std::uint32_t>(crc);
}

MapInfo DescribeMap(std::span<const std::uint8_t> image, std::size_t entityTextLength) {
    const BspHeader header = ReadBspHeader(image);
    MapInfo info;
    info.version = header.version;
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        info.lumpsInFileOrder.push_back({lump, header.lumps[static_cast<std::size_t>(lump)]});
    }
    std::stable_sort(
        info.lumpsInFileOrder.begin(), info.lumpsInFileOrder.end(),
        [](const PlacedLump& a, const PlacedLump& b) { return a.entry.offset < b.entry.offset; });
    info.meetsFileOrder = MeetsFileOrder(header, image.size(), entityTextLength);
    info.entityTextLength = entityTextLength;
    const auto text = image.subspan(static_cast<std::size_t>(header.lumps[LUMP_ENTITIES].offset),
                                    entityTextLength);
    info.entityBlockCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
    info.checksum = MapChecksum(image);
    return info;
}

}  // namespace entorra
