#include "bsp/MapLayout.h"

#include <algorithm>
#include <cstring>

#include "bsp/ByteOrder.h"
#include "bsp/Format.h"

namespace entorra {
namespace {

const LumpEntry& Lump(const BspHeader& header, int lump) {
    return header.lumps[static_cast<std::size_t>(lump)];
}

std::size_t ToSize(std::int64_t value) {
    return static_cast<std::size_t>(value);
}

}  // namespace

MapCheck CheckMapImage(std::span<const std::uint8_t> image) {
    MapCheck check;
    if (image.size() < kHeaderSize) {
        check.defect = MapDefect::TooShort;
        return check;
    }
    const BspHeader header = ReadBspHeader(image);
    const LumpEntry& entities = Lump(header, LUMP_ENTITIES);
    if (!entities.LiesInside(image.size())) {
        check.defect = MapDefect::EntityLumpOutside;
        return check;
    }
    if (static_cast<std::size_t>(entities.offset) < kHeaderSize) {
        check.defect = MapDefect::EntityLumpInHeader;
        return check;
    }
    if (!Lump(header, LUMP_TEXTURES).LiesInside(image.size())) {
        check.defect = MapDefect::TextureLumpOutside;
        return check;
    }
    const auto text = image.subspan(static_cast<std::size_t>(entities.offset));
    const void* terminator = std::memchr(text.data(), 0, text.size());
    if (terminator == nullptr) {
        check.defect = MapDefect::NoTextTerminator;
        return check;
    }
    check.entityTextLength =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(terminator) - text.data());
    return check;
}

std::int64_t EntityLumpEnd(const BspHeader& header, std::size_t entityTextLength) {
    const LumpEntry& entities = Lump(header, LUMP_ENTITIES);
    return entities.offset +
           std::max<std::int64_t>(entities.length, static_cast<std::int64_t>(entityTextLength) + 1);
}

bool MeetsFileOrder(const BspHeader& header, std::uint64_t fileSize, std::size_t entityTextLength) {
    const LumpEntry& entities = Lump(header, LUMP_ENTITIES);
    const LumpEntry& textures = Lump(header, LUMP_TEXTURES);
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = Lump(header, lump);
        if (lump == LUMP_ENTITIES || lump == LUMP_TEXTURES || entry.IsEmpty()) {
            continue;
        }
        if (entry.offset < 0 || entry.length < 0 || entry.End() > entities.offset) {
            return false;
        }
    }
    return textures.offset >= EntityLumpEnd(header, entityTextLength) &&
           static_cast<std::uint64_t>(textures.End()) == fileSize;
}

SavedImage BuildSavedImage(std::span<const std::uint8_t> image, std::size_t entityTextLength,
                           std::string_view fileText) {
    const BspHeader header = ReadBspHeader(image);
    const LumpEntry& entities = Lump(header, LUMP_ENTITIES);
    const LumpEntry& textures = Lump(header, LUMP_TEXTURES);
    const std::int64_t head = entities.offset;
    const std::int64_t newLumpLength = static_cast<std::int64_t>(fileText.size()) + 1;

    SavedImage saved;
    auto place = [&](std::int64_t size) {
        if (size > static_cast<std::int64_t>(kMaxMapSize)) {
            throw CLayoutRefusal("The new entity text would make the map 2 GiB or larger.");
        }
        saved.size = ToSize(size);
        saved.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(saved.size);
        std::memcpy(saved.bytes.get(), image.data(), ToSize(head));
        std::memcpy(saved.bytes.get() + head, fileText.data(), fileText.size());
        saved.bytes[ToSize(head + newLumpLength - 1)] = 0;
    };
    // A lump that shares bytes with the header would change with the header words a save
    // updates, and with it the map's checksum.
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = Lump(header, lump);
        if (!entry.IsEmpty() && entry.offset < static_cast<std::int64_t>(kHeaderSize)) {
            throw CLayoutRefusal(Format("Its %s lump overlaps the map header.", LumpName(lump)));
        }
    }

    if (MeetsFileOrder(header, image.size(), entityTextLength)) {
        // The plain layout: header and leading lumps, the new entity lump, the texture lump
        // directly behind it. Whatever lay between the two lumps is not carried over.
        place(head + newLumpLength + textures.length);
        std::memcpy(saved.bytes.get() + head + newLumpLength, image.data() + textures.offset,
                    ToSize(textures.length));
        const std::span<std::uint8_t> bytes(saved.bytes.get(), saved.size);
        WriteInt32LE(bytes, LumpLengthField(LUMP_ENTITIES), static_cast<std::int32_t>(newLumpLength));
        WriteInt32LE(bytes, LumpOffsetField(LUMP_TEXTURES),
                     static_cast<std::int32_t>(head + newLumpLength));
        return saved;
    }

    // Any other order: everything behind the old entity lump moves by the change in length,
    // rounded up to a multiple of 4 so that moved lumps keep their alignment.
    const std::int64_t oldEnd = EntityLumpEnd(header, entityTextLength);
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = Lump(header, lump);
        if (entry.IsEmpty()) {
            continue;
        }
        if (!entry.LiesInside(image.size())) {
            throw CLayoutRefusal(Format("Its %s lump lies outside the file.", LumpName(lump)));
        }
        if (entry.offset < oldEnd && entry.End() > head) {
            throw CLayoutRefusal(Format("Its %s lump overlaps the entity lump.", LumpName(lump)));
        }
    }
    const std::int64_t rawShift = head + newLumpLength - oldEnd;
    const std::int64_t shift = rawShift >= 0 ? (rawShift + 3) / 4 * 4 : -((-rawShift) / 4 * 4);
    const std::int64_t tailStart = oldEnd + shift;
    const std::int64_t tailLength = static_cast<std::int64_t>(image.size()) - oldEnd;
    place(tailStart + tailLength);
    std::memset(saved.bytes.get() + head + newLumpLength, 0, ToSize(tailStart - head - newLumpLength));
    std::memcpy(saved.bytes.get() + tailStart, image.data() + oldEnd, ToSize(tailLength));

    const std::span<std::uint8_t> bytes(saved.bytes.get(), saved.size);
    WriteInt32LE(bytes, LumpLengthField(LUMP_ENTITIES), static_cast<std::int32_t>(newLumpLength));
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = Lump(header, lump);
        const bool moves = entry.offset >= oldEnd &&
                           (!entry.IsEmpty() || static_cast<std::uint64_t>(entry.offset) <= image.size());
        if (moves) {
            WriteInt32LE(bytes, LumpOffsetField(lump), static_cast<std::int32_t>(entry.offset + shift));
        } else if (entry.IsEmpty() && entry.offset > head && entry.offset < oldEnd) {
            // An empty lump inside the old entity lump must not end up past a shorter file.
            const std::int64_t clamped = std::min<std::int64_t>(entry.offset, head + newLumpLength);
            WriteInt32LE(bytes, LumpOffsetField(lump), static_cast<std::int32_t>(clamped));
        }
    }
    return saved;
}

}  // namespace entorra
