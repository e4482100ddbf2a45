#pragma once

// Where a map's lumps lie, and the layout of the file a save writes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <algorithm>
#include <array>

#include "base/ByteOrder.h"
#include "bsp/BspFormat.h"
#include "bsp/MapVariant.h"

namespace entorra {

// The end of the old entity lump: its stored length, or further when its text runs past it.
std::int64_t EntityLumpEnd(const BspHeader& header, int entityEntry, std::size_t entityTextLength);

// True when a save of the plain three-piece layout (bytes before the entity lump, the new lump,
// the texture lump) keeps every byte of lump data: all other lumps before the entity lump, the
// texture lump behind it, and nothing after the texture lump.
bool MeetsFileOrder(const BspHeader& header, const MapVariant& variant, std::uint64_t fileSize,
                    std::size_t entityTextLength);

// A map whose lumps cannot be moved safely; the text says why.
class CLayoutRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where each part of the old map goes in the file a save writes: the bytes before the entity
// lump stay where they are (with some header words changed), the new entity lump follows, then
// zero padding, then one moved block of the old image (the texture lump, or everything that
// followed the old entity lump, with the offsets of a BSPX directory in it changed).
struct SaveLayout {
    // A word of the new file: in the header, or in the moved block.
    struct HeaderPatch {
        std::size_t field;
        std::int32_t value;
    };

    std::size_t head = 0;              // the entity lump offset
    std::size_t entityLumpLength = 0;  // text + NUL
    std::size_t padding = 0;
    std::size_t movedFrom = 0;
    std::size_t movedLength = 0;
    std::size_t newSize = 0;
    std::vector<HeaderPatch> patches;  // in file order

    std::size_t MovedTo() const { return head + entityLumpLength + padding; }
};

// Plans the save of a checked image with a prepared text of the given length (without NUL).
// Raises CLayoutRefusal when the variant is unrecognised, when lumps share bytes with the header
// or the entity lump, when the entity text runs into a BSPX directory, or when the result would
// be too big.
SaveLayout PlanSave(std::span<const std::uint8_t> image, const MapVariant& variant,
                    std::size_t entityTextLength, std::size_t fileTextLength);

// Calls write(const void* data, size) for each consecutive piece of the new file, in order.
template <typename WriteFn>
void ForEachSavedPiece(std::span<const std::uint8_t> image, const SaveLayout& layout,
                       std::string_view fileText, WriteFn&& write);

// Turns the old image into the new file in place; the buffer must hold layout.newSize bytes.
void ApplySave(std::uint8_t* image, const SaveLayout& layout, std::string_view fileText);

// The new file as one buffer, for tests and tools.
std::vector<std::uint8_t> BuildSavedImage(std::span<const std::uint8_t> image,
                                          const MapVariant& variant, std::size_t entityTextLength,
                                          std::string_view fileText);

template <typename WriteFn>
void ForEachSavedPiece(std::span<const std::uint8_t> image, const SaveLayout& layout,
                       std::string_view fileText, WriteFn&& write) {
    std::array<std::uint8_t, kHeaderSize> header{};
    std::copy_n(image.begin(), kHeaderSize, header.begin());
    auto patch = layout.patches.begin();
    for (; patch != layout.patches.end() && patch->field < kHeaderSize; ++patch) {
        WriteInt32LE(header, patch->field, patch->value);
    }
    static constexpr std::uint8_t kZeros[4] = {0, 0, 0, 0};
    write(header.data(), header.size());
    write(image.data() + kHeaderSize, layout.head - kHeaderSize);
    write(static_cast<const void*>(fileText.data()), fileText.size());
    write(kZeros, 1 + layout.padding);
    // The moved block, with the words that change in it written in their place.
    std::size_t done = 0;
    for (; patch != layout.patches.end(); ++patch) {
        const std::size_t at = patch->field - layout.MovedTo();
        write(image.data() + layout.movedFrom + done, at - done);
        std::array<std::uint8_t, 4> word{};
        WriteInt32LE(word, 0, patch->value);
        write(word.data(), word.size());
        done = at + word.size();
    }
    write(image.data() + layout.movedFrom + done, layout.movedLength - done);
}

}  // namespace entorra
