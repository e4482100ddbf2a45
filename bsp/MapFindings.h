#pragma once

// Everything there is to say about the bytes of a map file, in one pass: the map file object
// refuses a map with a fatal finding, and entorra-cli check prints every finding. A new check
// or a new kind of map goes here, so both agree.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bsp/Bspx.h"
#include "bsp/MapBytes.h"
#include "bsp/MapVariant.h"

namespace entorra {

enum class MapSeverity {
    Fatal,        // reading the map would go outside the file: the map file object refuses it
    Error,        // the engine or a save trips over it; the map still loads
    Warning,      // unusual, but nothing goes wrong
    Information,  // no fault: how the map is laid out
};

// What a finding is about, so that callers can word it their own way.
enum class MapFault {
    TooShort,            // shorter than the map header
    WrongVersion,        // the version word is not 30
    LumpOutside,         // a lump entry negative or reaching past the end of the file
    LumpInHeader,        // a lump starting inside the map header
    LumpsOverlap,        // two lumps sharing bytes; lump names the first of the two
    LumpUnaligned,       // a lump not starting on a multiple of 4 (information)
    BlueShiftLayout,     // the entity lump in entry 1, the planes in entry 0 (information)
    UnknownLayout,       // neither entry 0 nor entry 1 convincingly the entity lump: never written
    BspxDamaged,         // a BSPX directory or one of its entries does not fit the file
    NoTextTerminator,    // no NUL from the entity lump's offset to the end of the file
    TerminatorPastLump,  // the entity text's NUL lies beyond the entity lump's length
    NotInFileOrder,      // a save has to move what lies behind the entity lump (information)
    SaveRefused,         // a save would refuse the map
};

inline constexpr int kNoLump = -1;

struct MapFinding {
    MapFault fault = MapFault::TooShort;
    MapSeverity severity = MapSeverity::Error;
    std::string message;  // lower case, without the file's name: "the planes lump overlaps ..."
    // Where: the lump it is about (a BspLump, whichever header entry holds it; kNoLump for the
    // file as a whole) and, when it is about one byte of the file, that byte's offset.
    int lump = kNoLump;
    std::optional<std::int64_t> offset;

    friend bool operator==(const MapFinding&, const MapFinding&) = default;
};

struct MapInspection {
    // The layout told apart by the bytes (bsp/MapVariant.h): which header entry holds what.
    MapVariant variant;
    // The BSPX directory behind the lumps, if any.
    BspxDirectory bspx;
    // In the order found: header, lumps, entity text, save.
    std::vector<MapFinding> findings;
    // The entity text inside the image, up to its NUL (or to the lump's length when the file
    // has none after it); none when the entity lump lies outside the file or in its header.
    std::optional<std::string_view> entityText;
    // Where the entity text starts in the file, when there is one.
    std::uint64_t entityTextOffset = 0;

    // The first fatal finding, or null when the map can be loaded.
    const MapFinding* FirstFatal() const;
    int Count(MapSeverity severity) const;
};

// Inspects a map, reading only what the findings need: the header, the lumps of entries 0 and
// 1 as far as telling the layouts apart needs them, the entity text and a BSPX directory's
// place. The result's entity text points into the bytes. Reads from a file raise CFileError.
MapInspection InspectMap(IMapBytes& bytes);
// Inspects a whole map image. The result's entity text points into the image.
MapInspection InspectMap(std::span<const std::uint8_t> image);

}  // namespace entorra
