#pragma once

// Reads maps in tests apart from the core's own reader, straight from the published layout:
// a lump by its header entry, the checksum over chosen entries, the lumps of a BSPX directory.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace entorra::testing::reading {

using Bytes = std::vector<std::uint8_t>;

std::size_t EntryOffset(const Bytes& image, int entry);
// The bytes the header entry names; throws when they lie outside the image.
Bytes EntryBytes(const Bytes& image, int entry);

// CRC-32 over the lumps of every header entry but `skipped`, in entry order.
std::uint32_t ChecksumSkipping(const Bytes& image, int skipped);

// Where readers look for a BSPX directory: the 4-aligned end of the lump that ends last.
std::size_t BspxDirectoryAt(const Bytes& image);

// The lumps of the BSPX directory at the 4-aligned end of the lump that ends last, by name;
// empty when there is none. Throws when an entry lies outside the image.
std::map<std::string, Bytes> BspxLumps(const Bytes& image);

}  // namespace entorra::testing::reading
