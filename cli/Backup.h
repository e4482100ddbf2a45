#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/FileSystem.h"

namespace entorra::cli {

enum class BackupResult { Created, Existing };

// MAP.bsp -> MAP.bsp.bak
std::string BackupPathFor(const std::string& mapPath);

// Writes the map's bytes to its backup, complete and flushed, and puts it in place only if no
// backup is there: an existing one holds an older state of the map and is never overwritten.
// The backup gets the map's permissions. Raises CFileError when the backup cannot be written;
// nothing is left behind then.
BackupResult MakeBackup(IFileSystem& fileSystem, const std::string& mapPath,
                        std::span<const std::uint8_t> image);

}  // namespace entorra::cli
