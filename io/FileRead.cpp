#include "io/FileRead.h"

#include <algorithm>
#include <cerrno>

#include "base/Format.h"

namespace entorra {
namespace {

// What a pipe's text starts with before it shows how long it is.
constexpr std::size_t kFirstPipeRead = 64 * 1024;

Failure TooLarge(std::size_t maxBytes) {
    return Failure{"larger than " + ByteSizeText(maxBytes), EFBIG};
}

}  // namespace

std::string ByteSizeText(std::size_t bytes) {
    constexpr std::size_t kMiB = 1024 * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0) {
        return Format("%zu MiB", bytes / kMiB);
    }
    return Format("%zu bytes", bytes);
}

Result<std::string> ReadTextFile(IFileSystem& fileSystem, const std::string& path,
                                 std::size_t maxBytes) {
    Result<std::unique_ptr<IFile>> opened = fileSystem.OpenForReading(path);
    if (!opened) {
        return opened.Error();
    }
    IFile& file = **opened;
    try {
        const std::uint64_t size = file.Size();
        if (size > maxBytes) {
            return TooLarge(maxBytes);
        }
        // The size is a hint only: a pipe has none, and a file may grow while it is read. One
        // byte more than expected shows whether it did.
        const std::size_t limit = maxBytes + 1;
        std::string text(
            size > 0 ? static_cast<std::size_t>(size) + 1 : std::min(kFirstPipeRead, limit), '\0');
        std::size_t length = 0;
        for (;;) {
            length += file.Read(text.data() + length, text.size() - length);
            if (length < text.size()) {
                break;
            }
            if (length >= limit) {
                return TooLarge(maxBytes);
            }
            text.resize(std::min(text.size() * 2, limit));
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
