#pragma once

// Bounds-checked little-endian access to byte buffers. Map files are never read by casting.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace entorra {

inline std::int32_t ReadInt32LE(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) {
        throw std::out_of_range("read past the end of the map image");
    }
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[at]) |
                                static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
                                static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
                                static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    return static_cast<std::int32_t>(value);
}

inline void WriteInt32LE(std::span<std::uint8_t> bytes, std::size_t at, std::int32_t value) {
    if (at > bytes.size() || bytes.size() - at < 4) {
        throw std::out_of_range("write past the end of the map image");
    }
    const auto bits = static_cast<std::uint32_t>(value);
    bytes[at] = static_cast<std::uint8_t>(bits);
    bytes[at + 1] = static_cast<std::uint8_t>(bits >> 8);
    bytes[at + 2] = static_cast<std::uint8_t>(bits >> 16);
    bytes[at + 3] = static_cast<std::uint8_t>(bits >> 24);
}

}  // namespace entorra
