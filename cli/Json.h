#pragma once

// Text from maps for JSON output. JSON strings are UTF-8, map texts are bytes in the game's
// single-byte code page: a text that is valid UTF-8 is kept as it is, any other is read as
// Latin-1, byte for byte, so that nothing is lost and no output is refused.

#include <cstdint>
#include <string>
#include <string_view>

namespace entorra::cli {

std::string JsonText(std::string_view bytes);

// A checksum as eight lower-case hex digits, as info prints it.
std::string ChecksumText(std::uint32_t checksum);

}  // namespace entorra::cli
