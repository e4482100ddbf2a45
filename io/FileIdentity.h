#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace entorra {

// What tells one file from another whatever path names it: device and inode, or on Windows
// volume serial number and file index.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    friend auto operator<=>(const FileId&, const FileId&) = default;
};

// The identity of the file that path names, links followed; nothing when it cannot be taken.
std::optional<FileId> IdentifyFile(const std::string& path);

}  // namespace entorra
