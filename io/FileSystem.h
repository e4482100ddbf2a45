#pragma once

// The small file layer the map file object works through. The real implementation talks to the
// operating system; tests decorate it to make any step fail.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace entorra {

// Raised by read, write, flush, close and replace when the operating system refuses.
class CFileError : public std::runtime_error {
public:
    CFileError(const std::string& what, int errorCode)
        : std::runtime_error(what), m_nErrorCode(errorCode) {}
    int ErrorCode() const { return m_nErrorCode; }

private:
    int m_nErrorCode;
};

class IFile {
public:
    virtual ~IFile() = default;
    // Size from the file status.
    virtual std::uint64_t Size() = 0;
    // Reads until count bytes or the end of the file; returns the count delivered.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all count bytes or raises.
    virtual void Write(const void* data, std::size_t count) = 0;
    // Makes the written bytes durable.
    virtual void Flush() = 0;
    virtual void Close() = 0;
    // Closes if still open; never raises.
    virtual void Abort() noexcept = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // An existing regular file, read-only, held exclusively; null when that is not possible
    // (missing, not a regular file, no permission, or another process holds it).
    virtual std::unique_ptr<IFile> OpenExclusive(const std::string& path) = 0;

    // Holds the file at path exclusively while it is being replaced. A missing file needs no
    // hold and gives a handle that holds nothing; null when the file is held elsewhere or
    // cannot be opened.
    virtual std::unique_ptr<IFile> HoldForReplace(const std::string& path) = 0;

    // A new empty file in the folder of finalPath, with finalPath's permissions when it exists;
    // its path goes to tempPath. Null when it cannot be created.
    virtual std::unique_ptr<IFile> CreateTemporaryBeside(const std::string& finalPath,
                                                         std::string& tempPath) = 0;

    // Puts tempPath in the place of finalPath in one step; raises on failure.
    virtual void Replace(const std::string& tempPath, const std::string& finalPath) = 0;

    virtual void Remove(const std::string& path) noexcept = 0;

    // The file a path finally names, following symbolic links.
    virtual std::string ResolveLinks(const std::string& path) = 0;
};

// The operating system's files.
IFileSystem& RealFileSystem();

}  // namespace entorra
