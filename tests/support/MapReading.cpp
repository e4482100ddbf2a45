#include "tests/support/MapReading.h"

#include <algorithm>
#include <stdexcept>

#include "tests/support/TestSupport.h"

namespace entorra::testing::reading {
namespace {

std::int64_t Word(const Bytes& image, std::size_t at) {
    if (at + 4 > image.size()) {
        throw std::out_of_range("word outside the image");
    }
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = value << 8 | image[at + i];
    }
    return static_cast<std::int32_t>(value);
}

Bytes Slice(const Bytes& image, std::int64_t offset, std::int64_t length) {
    if (offset < 0 || length < 0 || offset + length > static_cast<std::int64_t>(image.size())) {
        throw std::out_of_range("lump outside the image");
    }
    return Bytes(image.begin() + offset, image.begin() + offset + length);
}

}  // namespace

std::size_t EntryOffset(const Bytes& image, int entry) {
    return static_cast<std::size_t>(Word(image, 4 + 8 * static_cast<std::size_t>(entry)));
}

Bytes EntryBytes(const Bytes& image, int entry) {
    const auto field = 4 + 8 * static_cast<std::size_t>(entry);
    return Slice(image, Word(image, field), Word(image, field + 4));
}

std::uint32_t ChecksumSkipping(const Bytes& image, int skipped) {
    std::uint32_t crc = 0;
    for (int entry = 0; entry < 15; ++entry) {
        if (entry != skipped) {
            crc = Crc32(EntryBytes(image, entry), crc);
        }
    }
    return crc;
}

std::size_t BspxDirectoryAt(const Bytes& image) {
    std::int64_t end = 0;
    for (std::size_t field = 4; field < 124; field += 8) {
        end = std::max(end, Word(image, field) + Word(image, field + 4));
    }
    return static_cast<std::size_t>((end + 3) & ~std::int64_t{3});
}

std::map<std::string, Bytes> BspxLumps(const Bytes& image) {
    const std::size_t directory = BspxDirectoryAt(image);
    std::map<std::string, Bytes> lumps;
    if (directory + 8 > image.size() ||
        std::string(image.begin() + static_cast<std::ptrdiff_t>(directory),
                    image.begin() + static_cast<std::ptrdiff_t>(directory) + 4) != "BSPX") {
        return lumps;
    }
    const std::int64_t count = Word(image, directory + 4);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::size_t at = directory + 8 + 32 * static_cast<std::size_t>(i);
        const auto name = Slice(image, static_cast<std::int64_t>(at), 24);
        const auto nameEnd = std::find(name.begin(), name.end(), 0);
        lumps[std::string(name.begin(), nameEnd)] =
            Slice(image, Word(image, at + 24), Word(image, at + 28));
    }
    return lumps;
}

}  // namespace entorra::testing::reading
