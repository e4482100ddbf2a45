#pragma once

// The BSPX directory some compilers append to a map: at the 4-aligned end of the lump that
// ends last, "BSPX", a little-endian count, then per lump a 24-byte NUL-padded name, an offset
// from the start of the file and a length. Engines that know it read extra lumps from it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace entorra {

inline constexpr std::size_t kBspxHeaderSize = 8;  // "BSPX" and the count
inline constexpr std::size_t kBspxEntrySize = 32;  // name, offset, length
inline constexpr std::size_t kBspxNameSize = 24;

struct BspxEntry {
    std::string name;
    std::int32_t offset = 0;
    std::int32_t length = 0;
    friend bool operator==(const BspxEntry&, const BspxEntry&) = default;
};

struct BspxDirectory {
    enum class State {
        Absent,   // no "BSPX" where readers look
        Valid,    // every entry lies inside the file, behind the directory
        Damaged,  // "BSPX" found, but the directory or an entry does not fit the file
    };
    State state = State::Absent;
    std::size_t offset = 0;  // where "BSPX" starts
    std::int32_t count = 0;
    std::vector<BspxEntry> entries;    // as read; none when the directory runs past the file
    std::vector<std::string> damages;  // when damaged: each thing that does not fit, as a clause

    std::size_t Size() const {
        return kBspxHeaderSize + kBspxEntrySize * static_cast<std::size_t>(count);
    }
    std::size_t EntryField(std::size_t index) const {
        return offset + kBspxHeaderSize + kBspxEntrySize * index;
    }
};

// Where readers look for the directory: the end of the lump that ends last (over every header
// entry, as they compute it), rounded up to a multiple of 4.
std::int64_t BspxDirectoryOffset(std::span<const std::uint8_t> image);

// Reads the directory of an image that holds at least the map header.
BspxDirectory ReadBspxDirectory(std::span<const std::uint8_t> image);

}  // namespace entorra
