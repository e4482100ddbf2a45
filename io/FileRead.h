#pragma once

// Reading whole files that are no maps (entity files), through the file layer.

#include <cstddef>
#include <string>

#include "base/Result.h"
#include "io/FileSystem.h"

namespace entorra {

// The file's bytes up to its end, pipes included, when they are no more than maxBytes; the
// failure says why not (EFBIG when there are more). A file larger than that is refused before
// anything is read, and a pipe is not read further than one byte past it.
Result<std::string> ReadTextFile(IFileSystem& fileSystem, const std::string& path,
                                 std::size_t maxBytes);

// "64 MiB", or the bytes when they are no whole number of MiB.
std::string ByteSizeText(std::size_t bytes);

}  // namespace entorra
