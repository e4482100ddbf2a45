#pragma once

// Reading what check and diff compare: a map's entity text or a plain entity file.

#include <cstddef>
#include <string>

#include "cli/Batch.h"
#include "io/FileSystem.h"

namespace entorra::cli {

// True for a name ending in ".ent", without regard to case: an entity file, not a map.
bool IsEntityFileName(const std::string& path);

inline constexpr const char* kEntityFileUnread = "Error reading the entity file: %s.";

// The most an entity file may hold. Map compilers write at most 2 MiB of entity text (the
// original tools 128 KiB); 32 times that leaves room for texts made by hand or by other tools,
// and keeps what a run holds bounded: a file is refused before it is read, a pipe or a device
// that never ends is cut off here, and each job holds a few times this at most.
inline constexpr std::size_t kMaxEntityFileBytes = 64 * 1024 * 1024;

// An entity file's text. On failure the report has failed with the message and the reason.
bool ReadEntityFile(const CommandContext& context, const std::string& path, CMapReport& report,
                    std::string& text);

// An entity file as it is, or the entity text of a map (up to its NUL). On failure the report
// has failed with the reason.
bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text);

}  // namespace entorra::cli
