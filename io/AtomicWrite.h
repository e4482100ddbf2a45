#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "io/FileSystem.h"

namespace entorra {

// Writes a complete file beside path, flushes it and puts it in path's place in one step.
// On any failure path is left as it was and no temporary file remains; raises CFileError.
void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path, const void* data,
                         std::size_t size);

// The same, with the contents written by writeContents into the new file.
void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path,
                         const std::function<void(IFile&)>& writeContents);

}  // namespace entorra
