#pragma once

// Which header entry holds which lump. Half-Life maps follow the published order (entry 0 the
// entity lump, entry 1 the planes). Blue Shift maps are the same version 30 with those two
// entries swapped, and nothing in the file says so: the variant is read from what the two
// lumps hold.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "bsp/BspFormat.h"

namespace entorra {

enum class BspVariant {
    HalfLife,      // entity lump in entry 0
    BlueShift,     // entity lump in entry 1, planes in entry 0
    Unrecognised,  // neither reading convinces: read as Half-Life, never written
};

struct MapVariant {
    BspVariant kind = BspVariant::HalfLife;
    // For an unrecognised map: why neither reading convinces, as a sentence.
    std::string doubt;

    // The header entry that holds a lump (BspLump), and the lump a header entry holds.
    int EntryOf(int lump) const;
    int LumpAt(int entry) const { return EntryOf(entry); }
    int EntityEntry() const { return EntryOf(LUMP_ENTITIES); }
    // The name of what a header entry holds ("planes" for entry 0 of a Blue Shift map).
    const char* EntryName(int entry) const { return LumpName(LumpAt(entry)); }
    bool Writable() const { return kind != BspVariant::Unrecognised; }
    friend bool operator==(const MapVariant&, const MapVariant&) = default;
};

// "Half-Life", "Blue Shift", "unrecognised".
const char* VariantName(BspVariant kind);

// Reads the variant from an image that holds at least the map header. Blue Shift when entry 1
// holds entity text and entry 0 does not but is a whole number of planes with unit normals;
// Half-Life when entry 0 holds entity text; otherwise unrecognised, with the reason.
MapVariant DetectVariant(std::span<const std::uint8_t> image);

// Entity text as a lump holds it, with a NUL as its last byte: after optional whitespace a
// "{", or text without control characters, or only whitespace and NULs. A NUL inside ends the
// text, as it does for readers. A planes lump is never entity text.
bool IsCompiledEntityText(std::span<const std::uint8_t> lump);

// A whole number of 20-byte planes, each normal of unit length.
bool IsPlanesLump(std::span<const std::uint8_t> lump);

}  // namespace entorra
