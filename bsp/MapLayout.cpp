#include "bsp/MapLayout.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/Bspx.h"

namespace entorra {
namespace {

const LumpEntry& Lump(const BspHeader& header, int lump) {
    return header.lumps[static_cast<std::size_t>(lump)];
}

}  // namespace

std::int64_t EntityLumpEnd(const BspHeader& header, int entityEntry, std::size_t entityTextLength) {
    const LumpEntry& entities = Lump(header, entityEntry);
    return entities.offset +
           std::max<std::int64_t>(entities.length, static_cast<std::int64_t>(entityTextLength) + 1);
}

bool MeetsFileOrder(const BspHeader& header, const MapVariant& variant, std::uint64_t fileSize,
                    std::size_t entityTextLength) {
    const int entityEntry = variant.EntityEntry();
    const int textureEntry = variant.EntryOf(LUMP_TEXTURES);
    const LumpEntry& entities = Lump(header, entityEntry);
    const LumpEntry& textures = Lump(header, textureEntry);
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        const LumpEntry& lump = Lump(header, entry);
        if (entry == entityEntry || entry == textureEntry || lump.IsEmpty()) {
            continue;
        }
        if (lump.offset < 0 || lump.length < 0 || lump.End() > entities.offset) {
            return false;
        }
    }
    return textures.offset >= EntityLumpEnd(header, entityEntry, entityTextLength) &&
           static_cast<std::uint64_t>(textures.End()) == fileSize;
}

SaveLayout PlanSave(std::span<const std::uint8_t> image, const MapVariant& variant,
                    std::size_t entityTextLength, std::size_t fileTextLength) {
    if (!variant.Writable()) {
        // Writing the text over a lump that may not be the entity lump would destroy it.
        throw CLayoutRefusal(Format(
            "Its layout is not recognised: %s. Entity text is written only over an entity lump.",
            variant.doubt.c_str()));
    }
    const BspHeader header = ReadBspHeader(image);
    const int entityEntry = variant.EntityEntry();
    const LumpEntry& textures = Lump(header, variant.EntryOf(LUMP_TEXTURES));
    SaveLayout layout;
    layout.head = static_cast<std::size_t>(Lump(header, entityEntry).offset);
    layout.entityLumpLength = fileTextLength + 1;
    const auto head = static_cast<std::int64_t>(layout.head);
    const auto newLumpLength = static_cast<std::int64_t>(layout.entityLumpLength);
    const std::int64_t newEnd = head + newLumpLength;
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
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        const LumpEntry& lump = Lump(header, entry);
        if (entry != entityEntry && !lump.IsEmpty() &&
            lump.offset < static_cast<std::int64_t>(kHeaderSize)) {
            throw CLayoutRefusal(
                Format("Its %s lump overlaps the map header.", variant.EntryName(entry)));
        }
    }

    if (MeetsFileOrder(header, variant, image.size(), entityTextLength)) {
        // The plain layout: header and leading lumps, the new entity lump, the texture lump
        // directly behind it. Whatever lay between the two lumps is not carried over.
        layout.movedFrom = static_cast<std::size_t>(textures.offset);
        layout.movedLength = static_cast<std::size_t>(textures.length);
        checkSize();
        patch(LumpLengthField(entityEntry), newLumpLength);
        patch(LumpOffsetField(variant.EntryOf(LUMP_TEXTURES)), newEnd);
        return layout;
    }

    // Any other order: everything behind the old entity lump moves by the change in length,
    // rounded up to a multiple of 4 so that moved lumps keep their alignment.
    const std::int64_t oldEnd = EntityLumpEnd(header, entityEntry, entityTextLength);
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        const LumpEntry& lump = Lump(header, entry);
        if (entry == entityEntry || lump.IsEmpty()) {
            continue;
        }
        if (!lump.LiesInside(image.size())) {
            throw CLayoutRefusal(
                Format("Its %s lump lies outside the file.", variant.EntryName(entry)));
        }
        if (lump.offset < oldEnd && lump.End() > head) {
            throw CLayoutRefusal(
                Format("Its %s lump overlaps the entity lump.", variant.EntryName(entry)));
        }
    }
    const BspxDirectory bspx = ReadBspxDirectory(image);
    if (bspx.state != BspxDirectory::State::Absent &&
        static_cast<std::int64_t>(bspx.offset) < oldEnd) {
        throw CLayoutRefusal("Its entity text runs into the BSPX directory behind it.");
    }
    const std::int64_t rawShift = newEnd - oldEnd;
    std::int64_t shift = rawShift >= 0 ? (rawShift + 3) / 4 * 4 : -((-rawShift) / 4 * 4);
    layout.movedFrom = static_cast<std::size_t>(oldEnd);
    // Readers look for a BSPX directory at the 4-aligned end of the lump that ends last. When
    // that is the entity lump, the directory follows the new lump's end, not the moved bytes;
    // the few bytes of padding before it are written anew.
    bool entityLumpEndsLast = bspx.state == BspxDirectory::State::Valid;
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        const LumpEntry& lump = Lump(header, entry);
        if (entry != entityEntry && !lump.IsEmpty() && lump.offset >= oldEnd) {
            entityLumpEndsLast = false;
        }
    }
    if (entityLumpEndsLast) {
        layout.movedFrom = bspx.offset;
        shift = (newEnd + 3) / 4 * 4 - static_cast<std::int64_t>(bspx.offset);
    }
    layout.padding =
        static_cast<std::size_t>(static_cast<std::int64_t>(layout.movedFrom) + shift - newEnd);
    layout.movedLength = image.size() - layout.movedFrom;
    checkSize();

    patch(LumpLengthField(entityEntry), newLumpLength);
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        const LumpEntry& lump = Lump(header, entry);
        if (entry == entityEntry) {
            continue;
        }
        const bool inPadding =
            lump.offset >= oldEnd && lump.offset < static_cast<std::int64_t>(layout.movedFrom);
        const bool moves =
            lump.offset >= static_cast<std::int64_t>(layout.movedFrom) &&
            (!lump.IsEmpty() || static_cast<std::uint64_t>(lump.offset) <= image.size());
        if (moves) {
            patch(LumpOffsetField(entry), lump.offset + shift);
        } else if (lump.IsEmpty() && ((lump.offset > head && lump.offset < oldEnd) || inPadding)) {
            // An empty lump inside the old entity lump, or in the padding written anew, must
            // not end up past a shorter file or behind a BSPX directory.
            patch(LumpOffsetField(entry), std::min<std::int64_t>(lump.offset, newEnd));
        }
    }
    std::sort(layout.patches.begin(), layout.patches.end(),
              [](const auto& a, const auto& b) { return a.field < b.field; });
    if (bspx.state == BspxDirectory::State::Valid) {
        // The directory moves with the bytes behind the entity lump, and so do its lumps.
        for (std::size_t index = 0; index < bspx.entries.size(); ++index) {
            const BspxEntry& entry = bspx.entries[index];
            if (entry.offset >= static_cast<std::int64_t>(layout.movedFrom)) {
                patch(static_cast<std::size_t>(static_cast<std::int64_t>(bspx.EntryField(index)) +
                                               shift) +
                          kBspxNameSize,
                      entry.offset + shift);
            }
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
                                          const MapVariant& variant, std::size_t entityTextLength,
                                          std::string_view fileText) {
    const SaveLayout layout = PlanSave(image, variant, entityTextLength, fileText.size());
    std::vector<std::uint8_t> saved;
    saved.reserve(layout.newSize);
    ForEachSavedPiece(image, layout, fileText, [&](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        saved.insert(saved.end(), bytes, bytes + size);
    });
    return saved;
}

}  // namespace entorra
