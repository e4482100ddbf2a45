#include "cli/Json.h"

#include "base/Format.h"

namespace entorra::cli {
namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0u) == 0x80u;
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80u) {
            ++i;
            continue;
        }
        if (lead >= 0xC2u && lead <= 0xDFu) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0u && lead <= 0xEFu) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0u && lead <= 0xF4u) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (bytes.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + k]);
            if (!IsContinuation(byte)) {
                return false;
            }
            code = code << 6 | (byte & 0x3Fu);
        }
        if ((length == 3 && (code < 0x800u || (code >= 0xD800u && code <= 0xDFFFu))) ||
            (length == 4 && (code < 0x10000u || code > 0x10FFFFu))) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

std::string JsonText(std::string_view bytes) {
    if (IsUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80u) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0u | byte >> 6));
            text.push_back(static_cast<char>(0x80u | (byte & 0x3Fu)));
        }
    }
    return text;
}

std::string ChecksumText(std::uint32_t checksum) {
    return Format("%08x", static_cast<unsigned>(checksum));
}

}  // namespace entorra::cli
