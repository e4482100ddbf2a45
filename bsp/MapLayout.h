#pragma once

// Where a map's lumps lie, and the layout of the file a save writes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bsp/BspFormat.h"

namespace entorra {

enum class MapDefect {
    None,
    TooShort,            // shorter than the map header
    EntityLumpOutside,   // entity lump entry negative or reaching outside the file
    EntityLumpInHeader,  // entity lump starting inside the map header
    TextureLumpOutside,  // texture lump entry negative or reaching outside the file
    NoTextTerminator,    // no NUL between the entity lump offset and the end of the file
};

struct MapCheck {
    MapDefect defect = MapDefect::None;
    std::size_t entityTextLength = 0;  // bytes before the first NUL of the entity lump
};

// Checks a whole map image (version already accepted) so that nothing is read outside it.
MapCheck CheckMapImage(std::span<const std::uint8_t> image);

// The end of the old entity lump: its stored length, or further when its text runs past it.
std::int64_t EntityLumpEnd(const BspHeader& header, std::size_t entityTextLength);

// True when a save of the plain three-piece layout (bytes before the entity lump, the new lump,
// the texture lump) keeps every byte of lump data: all other lumps before the entity lump, the
// texture lump behind it, and nothing after the texture lump.
bool MeetsFileOrder(const BspHeader& header, std::uint64_t fileSize, std::size_t entityTextLength);

// A map whose lumps cannot be moved safely; the text says why.
class CLayoutRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SavedImage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// The complete file a save writes, given the checked image and the prepared text (without NUL).
// Raises CLayoutRefusal when the lumps overlap the entity lump or the result would be too big.
SavedImage BuildSavedImage(std::span<const std::uint8_t> image, std::size_t entityTextLength,
                           std::string_view fileText);

}  // namespace entorra
