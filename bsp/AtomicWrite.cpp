#include "bsp/AtomicWrite.h"

#include <cerrno>

namespace entorra {

void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path, const void* data,
                         std::size_t size) {
    std::string temporaryPath;
    std::unique_ptr<IFile> output = fileSystem.CreateTemporaryBeside(path, temporaryPath);
    if (!output) {
        throw CFileError("cannot create a temporary file beside " + path, errno);
    }
    try {
        output->Write(data, size);
        output->Flush();
        output->Close();
        fileSystem.Replace(temporaryPath, path);
    } catch (...) {
        output->Abort();
        fileSystem.Remove(temporaryPath);
        throw;
    }
}

}  // namespace entorra
