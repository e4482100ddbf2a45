#include "bsp/MapLayout.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Format.h"

namespace entorra {
namespace {

const LumpEntry& Lump(const BspHeader& header, int lump) {
    return header.lumps[static_cast<std::size_t>(lump)];
}

}  // namespace

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

SaveLayout PlanSave(std::span<const std::uint8_t> image, std::size_t entityTextLength,
                    std::size_t fileTextLength) {
    const BspHeader header = ReadBspHeader(image);
    const LumpEntry& textures = Lump(header, LUMP_TEXTURES);
    SaveLayout layout;
    layout.head = static_cast<std::size_t>(Lump(header, LUMP_ENTITIES).offset);
    layout.entityLumpLength = fileTextLength + 1;
    const auto head = static_cast<std::int64_t>(layout.head);
    const auto newLumpLength = static_cast<std::int64_t>(layout.entityLumpLength);
    auto patch = [&](std::size_t field, std::int64_t value) {
        layout.patches.push_back({field, static_cast<std::int32_t>(value)});
    };
    auto checkSize = [&] {
        layout.newSize = layout.MovedTo() + layout.movedLength;
        if (layout.newSize > kMaxMapSize) {
            throw CLayoutRefusal("The new entity text would make the map 2 GiB or larger.");
        }
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
        layout.movedFrom = static_cast<std::size_t>(textures.offset);
        layout.movedLength = static_cast<std::size_t>(textures.length);
        checkSize();
        patch(LumpLengthField(LUMP_ENTITIES), newLumpLength);
        patch(LumpOffsetField(LUMP_TEXTURES), head + newLumpLength);
        return layout;
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
    layout.padding = static_cast<std::size_t>(shift - rawShift);
    layout.movedFrom = static_cast<std::size_t>(oldEnd);
    layout.movedLength = image.size() - layout.movedFrom;
    checkSize();

    patch(LumpLengthField(LUMP_ENTITIES), newLumpLength);
    for (int lump = 1; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = Lump(header, lump);
        const bool moves =
            entry.offset >= oldEnd &&
            (!entry.IsEmpty() || static_cast<std::uint64_t>(entry.offset) <= image.size());
        if (moves) {
            patch(LumpOffsetField(lump), entry.offset + shift);
        } else if (entry.IsEmpty() && entry.offset > head && entry.offset < oldEnd) {
            // An empty lump inside the old entity lump must not end up past a shorter file.
            patch(LumpOffsetField(lump),
                  std::min<std::int64_t>(entry.offset, head + newLumpLength));
        }
    }
    return layout;
}

void ApplySave(std::uint8_t* image, const SaveLayout& layout, std::string_view fileText) {
    // The moved block first: the new entity lump may overwrite where it came from.
    std::memmove(image + layout.MovedTo(), image + layout.movedFrom, layout.movedLength);
    std::memcpy(image + layout.head, fileText.data(), fileText.size());
    std::memset(image + layout.head + fileText.size(), 0, 1 + layout.padding);
    const std::span<std::uint8_t> bytes(image, layout.newSize);
    for (const auto& patch : layout.patches) {
        WriteInt32LE(bytes, patch.field, patch.value);
    }
}

std::vector<std::uint8_t> BuildSavedImage(std::span<const std::uint8_t> image,
                                          std::size_t entityTextLength, std::string_view fileText) {
    const SaveLayout layout = PlanSave(image, entityTextLength, fileText.size());
    std::vector<std::uint8_t> saved;
    saved.reserve(layout.newSize);
    ForEachSavedPiece(image, layout, fileText, [&](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        saved.insert(saved.end(), bytes, bytes + size);
    });
    return saved;
}

}  // namespace entorra
