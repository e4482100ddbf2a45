#include "io/AtomicWrite.h"

#include <cerrno>

namespace entorra {

void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path, const void* data,
                         std::size_t size) {
    WriteFileAtomically(fileSystem, path, [&](IFile& output) { output.Write(data, size); });
}

void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path,
                         const std::function<void(IFile&)>& writeContents) {
    std::string temporaryPath;
    std::unique_ptr<IFile> output = fileSystem.CreateTemporaryBeside(path, temporaryPath);
    if (!output) {
        throw CFileError("cannot create a temporary file beside " + path, errno);
    }
    try {
        writeContents(*output);
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
