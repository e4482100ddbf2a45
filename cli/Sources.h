#pragma once

// Reading what check and diff compare: a map's entity text or a plain entity file.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Batch.h"
#include "io/FileSystem.h"

namespace entorra::cli {

// True for a name ending in ".ent", without regard to case: an entity file, not a map.
bool IsEntityFileName(const std::string& path);

// The whole file, read under the same exclusive hold as a map load. False when it cannot be.
// Files from 2 GiB on are no maps and are not read.
inline constexpr std::uint64_t kMaxReadSize = 0x7FFFFFFFu;

bool ReadWholeFile(IFileSystem& fileSystem, const std::string& path,
                   std::vector<std::uint8_t>& bytes);

// An entity file as it is, or the entity text of a map (up to its NUL). On failure the report
// has failed with the reason.
bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text);

}  // namespace entorra::cli
