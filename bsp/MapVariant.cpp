#include "bsp/MapVariant.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

#include "base/ByteOrder.h"
#include "base/Format.h"

namespace entorra {
namespace {

constexpr std::size_t kPlaneSize = 20;  // normal (3 floats), distance (float), type (int32)

bool IsBlank(std::uint8_t byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\v' ||
           byte == '\f';
}

// The bytes a header entry names, or nothing when they do not lie inside the image.
std::optional<std::span<const std::uint8_t>> EntryBytes(std::span<const std::uint8_t> image,
                                                        int entry) {
    const LumpEntry lump{ReadInt32LE(image, LumpOffsetField(entry)),
                         ReadInt32LE(image, LumpLengthField(entry))};
    if (!lump.LiesInside(image.size())) {
        return std::nullopt;
    }
    return image.subspan(static_cast<std::size_t>(lump.offset),
                         static_cast<std::size_t>(lump.length));
}

// Whether the bytes up to a NUL read as entity text: opening a block, or plain text without
// control characters (a save keeps whatever precedes the last "}" when there is no "{"), or
// only blanks with nothing but NULs behind them in the lump (an empty entity text). Binary
// data does not.
bool ReadsAsText(std::span<const std::uint8_t> text, std::span<const std::uint8_t> rest) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
    if (first == text.end()) {
        return std::all_of(rest.begin(), rest.end(), [](std::uint8_t byte) { return byte == 0; });
    }
    if (*first == '{') {
        return true;
    }
    return std::none_of(text.begin(), text.end(),
                        [](std::uint8_t byte) { return byte < 0x20 && !IsBlank(byte); });
}

// Entity text as the published layout reads entry 0: from the entry's offset up to the first
// NUL, which may lie past the stored length. A planes lump is never entity text.
bool HoldsReadableEntityText(std::span<const std::uint8_t> image, int entry) {
    const std::int32_t offset = ReadInt32LE(image, LumpOffsetField(entry));
    const std::int32_t length = ReadInt32LE(image, LumpLengthField(entry));
    if (offset < 0 || static_cast<std::size_t>(offset) >= image.size()) {
        return false;
    }
    const auto rest = image.subspan(static_cast<std::size_t>(offset));
    const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
    if (nul == rest.end()) {
        return false;
    }
    const auto textLength = static_cast<std::size_t>(nul - rest.begin());
    const std::size_t lumpEnd = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(length, 0)), textLength, rest.size());
    if (!ReadsAsText(rest.first(textLength), rest.subspan(textLength, lumpEnd - textLength))) {
        return false;
    }
    const auto lump = EntryBytes(image, entry);
    return !(lump && IsPlanesLump(*lump));
}

// Why a lump is not a planes lump, or nothing when it is one.
std::optional<std::string> PlanesFault(std::span<const std::uint8_t> lump) {
    if (lump.empty()) {
        return std::string("it is empty");
    }
    if (lump.size() % kPlaneSize != 0) {
        return Format("its %zu bytes are not a whole number of %zu-byte planes", lump.size(),
                      kPlaneSize);
    }
    for (std::size_t plane = 0; plane < lump.size() / kPlaneSize; ++plane) {
        double squares = 0;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const auto bits =
                static_cast<std::uint32_t>(ReadInt32LE(lump, plane * kPlaneSize + 4 * axis));
            const double component = std::bit_cast<float>(bits);
            squares += component * component;
        }
        const double length = std::sqrt(squares);
        // Compilers normalise in double and store floats; their error is far below this.
        if (!(std::abs(length - 1.0) <= 0.01)) {
            return Format("plane %zu has a normal of length %g", plane, length);
        }
    }
    return std::nullopt;
}

}  // namespace

int MapVariant::EntryOf(int lump) const {
    if (kind == BspVariant::BlueShift) {
        if (lump == LUMP_ENTITIES) {
            return LUMP_PLANES;
        }
        if (lump == LUMP_PLANES) {
            return LUMP_ENTITIES;
        }
    }
    return lump;
}

const char* VariantName(BspVariant kind) {
    switch (kind) {
        case BspVariant::HalfLife:
            return "Half-Life";
        case BspVariant::BlueShift:
            return "Blue Shift";
        case BspVariant::Unrecognised:
            break;
    }
    return "unrecognised";
}

bool IsCompiledEntityText(std::span<const std::uint8_t> lump) {
    if (lump.empty() || lump.back() != 0) {
        return false;
    }
    // Up to the first NUL: a text saved with a NUL inside must still be found again.
    const auto textLength = static_cast<std::size_t>(
        std::find(lump.begin(), lump.end(), std::uint8_t{0}) - lump.begin());
    // The cheap test first: planes mostly fail it within their first bytes.
    return ReadsAsText(lump.first(textLength), lump.subspan(textLength)) && !IsPlanesLump(lump);
}

bool IsPlanesLump(std::span<const std::uint8_t> lump) {
    return !PlanesFault(lump);
}

MapVariant DetectVariant(std::span<const std::uint8_t> image) {
    MapVariant variant;
    const auto second = EntryBytes(image, 1);
    const bool secondIsText = second && IsCompiledEntityText(*second);
    const auto first = EntryBytes(image, 0);
    // Planes are never entity text, so entry 0 holding planes also says it holds no text.
    if (secondIsText && first && IsPlanesLump(*first)) {
        variant.kind = BspVariant::BlueShift;
        return variant;
    }
    if (HoldsReadableEntityText(image, 0)) {
        return variant;
    }
    variant.kind = BspVariant::Unrecognised;
    if (!secondIsText) {
        variant.doubt =
            "entry 0 of its header does not hold entity text, and entry 1 does not either";
    } else {
        variant.doubt = Format(
            "entry 1 of its header holds entity text, but entry 0 holds neither entity text nor "
            "planes (%s)",
            (first ? PlanesFault(*first) : std::string("it lies outside the file"))
                .value_or("it holds planes")
                .c_str());
    }
    return variant;
}

}  // namespace entorra
