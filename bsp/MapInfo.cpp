#include "bsp/MapInfo.h"

#include <zlib.h>

#include <algorithm>

#include "bsp/MapLayout.h"

namespace entorra {

std::optional<std::uint32_t> ChecksumSkipping(std::span<const std::uint8_t> image, int skipped) {
    const BspHeader header = ReadBspHeader(image);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        if (entry == skipped) {
            continue;
        }
        const LumpEntry& lump = header.lumps[static_cast<std::size_t>(entry)];
        // An empty lump adds nothing, wherever its offset points.
        if (lump.length == 0) {
            continue;
        }
        if (!lump.LiesInside(image.size())) {
            return std::nullopt;
        }
        // zlib takes lengths as uInt; map lumps are below 2 GiB, so one call each suffices.
        crc = crc32(crc, image.data() + lump.offset, static_cast<uInt>(lump.length));
    }
    return static_cast<std::uint32_t>(crc);
}

std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image,
                                         const MapVariant& variant) {
    return ChecksumSkipping(image, variant.EntityEntry());
}

std::optional<std::uint32_t> MapChecksum(std::span<const std::uint8_t> image) {
    return MapChecksum(image, DetectVariant(image));
}

MapInfo DescribeMap(std::span<const std::uint8_t> image, const MapVariant& variant,
                    std::size_t entityTextLength) {
    const BspHeader header = ReadBspHeader(image);
    MapInfo info;
    info.version = header.version;
    info.variant = variant;
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        info.lumpsInFileOrder.push_back({entry, header.lumps[static_cast<std::size_t>(entry)]});
    }
    std::stable_sort(
        info.lumpsInFileOrder.begin(), info.lumpsInFileOrder.end(),
        [](const PlacedLump& a, const PlacedLump& b) { return a.entry.offset < b.entry.offset; });
    info.meetsFileOrder = MeetsFileOrder(header, variant, image.size(), entityTextLength);
    info.entityTextLength = entityTextLength;
    const LumpEntry& entities = header.lumps[static_cast<std::size_t>(variant.EntityEntry())];
    const auto text = image.subspan(static_cast<std::size_t>(entities.offset), entityTextLength);
    info.entityBlockCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
    info.bspx = ReadBspxDirectory(image);
    info.checksum = MapChecksum(image, variant);
    info.checksumSkippingEntry0 = ChecksumSkipping(image, 0);
    return info;
}

}  // namespace entorra
