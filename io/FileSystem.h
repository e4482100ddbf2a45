#pragma once

// The small file layer the core works through. The real implementation talks to the operating
// system (one per platform); tests decorate it to make any step fail.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/Result.h"

namespace entorra {

// Raised by read, write, flush, close, replace and publish when the operating system refuses.
class CFileError : public std::runtime_error {
public:
    CFileError(const std::string& what, int errorCode)
        : std::runtime_error(what), m_nErrorCode(errorCode) {}
    explicit CFileError(const Failure& failure) : CFileError(failure.message, failure.code) {}
    int ErrorCode() const { return m_nErrorCode; }

private:
    int m_nErrorCode;
};

// An open file; destroying it closes it as Abort does.
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

// A new file beside the one it is to become, and the name it has until then.
struct TemporaryFile {
    std::unique_ptr<IFile> file;
    std::string path;
};

// What a path names, without following a symbolic link at its end.
enum class EntryKind {
    None,   // nothing, or nothing that can be looked at
    File,   // a regular file or a symbolic link
    Other,  // a folder, a device, a pipe...
};

enum class PublishOutcome {
    Published,  // the new file is now at the path
    Existing,   // something was there already and stays as it was
};

// Opening reports why it failed (Result); once a file is open, reads, writes and the steps
// that put a new file in place raise CFileError. Paths are the platform's own.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // An existing regular file, read-only, held exclusively (a map, while it is loaded):
    // fails when it is missing, not a regular file, not readable, or held by another process.
    virtual Result<std::unique_ptr<IFile>> OpenExclusive(const std::string& path) = 0;

    // A file to read to its end, without holding it (an entity file): a regular file, or a pipe
    // a program writes to (a shell's "<(command)"). Fails at once for a folder or a device, and
    // within a second for a named pipe that no program opens for writing. A pipe's Size is 0;
    // read until Read delivers less than asked.
    virtual Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) = 0;

    // Holds the file at path exclusively while it is being replaced. A missing file needs no
    // hold and gives a handle that holds nothing; fails when the file is held elsewhere or
    // cannot be opened.
    virtual Result<std::unique_ptr<IFile>> HoldForReplace(const std::string& path) = 0;

    // A new empty file in the folder of finalPath, to be put in its place by Replace or
    // PublishNew. It gets the permissions of the file at permissionsOf when there is one, else
    // those a new file gets in that folder (the process's umask applies, and nothing else of
    // the process changes: threads create files at the same time).
    virtual Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                        const std::string& permissionsOf) = 0;

    // Puts tempPath in the place of finalPath in one step; raises on failure.
    virtual void Replace(const std::string& tempPath, const std::string& finalPath) = 0;

    // Puts tempPath at finalPath in one step only if nothing is there, so that a file made
    // meanwhile by another process survives. On Published the file is no longer at tempPath;
    // on Existing, and when it raises, tempPath is left for the caller to remove.
    virtual PublishOutcome PublishNew(const std::string& tempPath,
                                      const std::string& finalPath) = 0;

    virtual EntryKind KindOf(const std::string& path) = 0;

    virtual void Remove(const std::string& path) noexcept = 0;

    // The file a path finally names, following symbolic links.
    virtual std::string ResolveLinks(const std::string& path) = 0;
};

// The operating system's files.
IFileSystem& RealFileSystem();

}  // namespace entorra
