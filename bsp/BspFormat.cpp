#include "bsp/BspFormat.h"

#include "base/ByteOrder.h"

namespace entorra {

const char* LumpName(int lump) {
    static constexpr std::array<const char*, HEADER_LUMPS> kNames = {
        "entities", "planes",       "textures", "vertexes",  "visibility",
        "nodes",    "texinfo",      "faces",    "lighting",  "clipnodes",
        "leafs",    "marksurfaces", "edges",    "surfedges", "models"};
    if (lump < 0 || lump >= HEADER_LUMPS) {
        return "?";
    }
    return kNames[static_cast<std::size_t>(lump)];
}

BspHeader ReadBspHeader(std::span<const std::uint8_t> image) {
    BspHeader header;
    header.version = ReadInt32LE(image, kVersionOffset);
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        auto& entry = header.lumps[static_cast<std::size_t>(lump)];
        entry.offset = ReadInt32LE(image, LumpOffsetField(lump));
        entry.length = ReadInt32LE(image, LumpLengthField(lump));
    }
    return header;
}

}  // namespace entorra
