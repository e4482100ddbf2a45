#pragma once

// Reading what check and diff compare: a map's entity text or a plain entity file.

#include <string>

#include "cli/Batch.h"
#include "io/FileSystem.h"

namespace entorra::cli {

// True for a name ending in ".ent", without regard to case: an entity file, not a map.
bool IsEntityFileName(const std::string& path);

inline constexpr const char* kEntityFileUnread = "Error reading the entity file: %s.";

// An entity file as it is, or the entity text of a map (up to its NUL). On failure the report
// has failed with the reason.
bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text);

}  // namespace entorra::cli
