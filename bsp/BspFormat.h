#pragma once

// Layout of a BSP version 30 (Half-Life) map header.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace entorra {

enum BspLump : int {
    LUMP_ENTITIES = 0,
    LUMP_PLANES = 1,
    LUMP_TEXTURES = 2,
    LUMP_VERTEXES = 3,
    LUMP_VISIBILITY = 4,
    LUMP_NODES = 5,
    LUMP_TEXINFO = 6,
    LUMP_FACES = 7,
    LUMP_LIGHTING = 8,
    LUMP_CLIPNODES = 9,
    LUMP_LEAFS = 10,
    LUMP_MARKSURFACES = 11,
    LUMP_EDGES = 12,
    LUMP_SURFEDGES = 13,
    LUMP_MODELS = 14,
    HEADER_LUMPS = 15
};

inline constexpr std::int32_t kBspVersion = 30;
inline constexpr std::size_t kVersionOffset = 0;
inline constexpr std::size_t kHeaderSize = 4 + 8 * HEADER_LUMPS;  // 124 bytes

// Maps are addressed with signed 32-bit offsets, so anything from 2 GiB on cannot be one.
inline constexpr std::uint64_t kMaxMapSize = 0x7FFFFFFFu;

constexpr std::size_t LumpOffsetField(int lump) {
    return 4 + 8 * static_cast<std::size_t>(lump);
}
constexpr std::size_t LumpLengthField(int lump) {
    return 8 + 8 * static_cast<std::size_t>(lump);
}

const char* LumpName(int lump);

struct LumpEntry {
    std::int32_t offset = 0;
    std::int32_t length = 0;

    std::int64_t End() const { return std::int64_t{offset} + length; }
    bool IsEmpty() const { return length == 0; }
    // Inside a file of the given size, with neither field negative.
    bool LiesInside(std::uint64_t fileSize) const {
        return offset >= 0 && length >= 0 && static_cast<std::uint64_t>(End()) <= fileSize;
    }
};

struct BspHeader {
    std::int32_t version = 0;
    std::array<LumpEntry, HEADER_LUMPS> lumps{};
};

// Reads the version word and the lump directory; throws std::out_of_range on a short image.
BspHeader ReadBspHeader(std::span<const std::uint8_t> image);

}  // namespace entorra
