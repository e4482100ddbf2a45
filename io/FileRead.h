#pragma once

// Reading whole files that are no maps (entity files), through the file layer.

#include <string>

#include "base/Result.h"
#include "io/FileSystem.h"

namespace entorra {

// The file's bytes up to its end, pipes included; the failure says why not.
Result<std::string> ReadTextFile(IFileSystem& fileSystem, const std::string& path);

}  // namespace entorra
