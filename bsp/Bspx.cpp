#include "bsp/Bspx.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/BspFormat.h"

namespace entorra {

std::int64_t BspxDirectoryOffset(std::span<const std::uint8_t> image) {
    std::int64_t end = 0;
    for (int entry = 0; entry < HEADER_LUMPS; ++entry) {
        end = std::max(end, std::int64_t{ReadInt32LE(image, LumpOffsetField(entry))} +
                                ReadInt32LE(image, LumpLengthField(entry)));
    }
    return (end + 3) / 4 * 4;
}

BspxDirectory ReadBspxDirectory(std::span<const std::uint8_t> image) {
    BspxDirectory directory;
    const std::int64_t at = BspxDirectoryOffset(image);
    if (at < static_cast<std::int64_t>(kHeaderSize) ||
        at + static_cast<std::int64_t>(kBspxHeaderSize) > static_cast<std::int64_t>(image.size()) ||
        std::memcmp(image.data() + at, "BSPX", 4) != 0) {
        return directory;
    }
    directory.offset = static_cast<std::size_t>(at);
    directory.count = ReadInt32LE(image, directory.offset + 4);
    directory.state = BspxDirectory::State::Valid;
    const std::size_t room = (image.size() - directory.offset - kBspxHeaderSize) / kBspxEntrySize;
    if (directory.count < 0 || static_cast<std::size_t>(directory.count) > room) {
        directory.state = BspxDirectory::State::Damaged;
        directory.damages.push_back(
            Format("its directory of %d entries at offset %zu runs past the end of the file",
                   directory.count, directory.offset));
        directory.count = 0;
        return directory;
    }
    const auto directoryEnd = static_cast<std::int64_t>(directory.offset + directory.Size());
    for (std::size_t index = 0; index < static_cast<std::size_t>(directory.count); ++index) {
        const std::size_t field = directory.EntryField(index);
        const char* name = reinterpret_cast<const char*>(image.data() + field);
        BspxEntry entry{std::string(name, strnlen(name, kBspxNameSize)),
                        ReadInt32LE(image, field + kBspxNameSize),
                        ReadInt32LE(image, field + kBspxNameSize + 4)};
        const std::int64_t end = std::int64_t{entry.offset} + entry.length;
        const char* fault = nullptr;
        if (entry.offset < 0 || entry.length < 0 || end > static_cast<std::int64_t>(image.size())) {
            fault = "lies outside the file";
        } else if (entry.length > 0 && entry.offset < directoryEnd) {
            // Its bytes would belong to the map's lumps or to the directory itself.
            fault = "does not lie behind the directory";
        }
        if (fault != nullptr) {
            directory.state = BspxDirectory::State::Damaged;
            directory.damages.push_back(Format("its BSPX lump %s (offset %d, length %d) %s",
                                               entry.name.c_str(), entry.offset, entry.length,
                                               fault));
        }
        directory.entries.push_back(std::move(entry));
    }
    return directory;
}

}  // namespace entorra
