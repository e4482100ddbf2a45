#include "io/FileRead.h"

#include <cerrno>

namespace entorra {

Result<std::string> ReadTextFile(IFileSystem& fileSystem, const std::string& path) {
    Result<std::unique_ptr<IFile>> opened = fileSystem.OpenForReading(path);
    if (!opened) {
        return opened.Error();
    }
    IFile& file = **opened;
    try {
        // The size is a hint only: a pipe has none, and a file may grow while it is read.
        std::string text(static_cast<std::size_t>(file.Size()) + 1, '\0');
        std::size_t length = 0;
        for (;;) {
            length += file.Read(text.data() + length, text.size() - length);
            if (length < text.size()) {
                break;
            }
            text.resize(text.size() * 2);
        }
        text.resize(length);
        file.Close();
        return text;
    } catch (const CFileError& error) {
        return Failure{error.what(), error.ErrorCode()};
    } catch (const std::bad_alloc&) {
        return Failure{"not enough memory for the file", ENOMEM};
    }
}

}  // namespace entorra
