#pragma once

// The small file layer the core works through. The real implementation talks to the operating
// system (one per platform); tests decorate it to make any step fail.
//
// Error codes, in Failure::code and CFileError::ErrorCode, are errno values on every platform:
// an implementation maps its own errors to the nearest one (ENOENT, EACCES, ENOSPC, EROFS, EIO,
// EBUSY...), so that callers word the reasons alike everywhere.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/Result.h"

namespace entorra {

// Raised by read, write, flush, close, status, replace and publish when the operating system
// refuses.
class CFileError : public std::runtime_error {
public:
    CFileError(const std::string& what, int errorCode)
        : std::runtime_error(what), m_nErrorCode(errorCode) {}
    explicit CFileError(const Failure& failure) : CFileError(failure.message, failure.code) {}
    int ErrorCode() const { return m_nErrorCode; }

private:
    int m_nErrorCode;
};

// Which file a path names and the state of its contents, from the file's status. Two
// identities differ when the file was replaced by another or written since the first was taken:
// a write changes the modification time, and the change time too, which no program can set
// back. POSIX: st_dev, st_ino, st_size, st_mtim, st_ctim. Windows: the volume serial number,
// the file index, the size, LastWriteTime and ChangeTime (FILE_BASIC_INFO).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the platform's unit (POSIX: ns since the epoch)
    std::int64_t changed = 0;   // the same unit; 0 where the platform keeps no change time

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    // The same file, whatever was written to it since.
    bool SameFileAs(const FileIdentity& other) const {
        return volume == other.volume && file == other.file;
    }
};

// What a save needs to know about the file it would replace.
struct FileStatus {
    FileIdentity identity;
    std::uint32_t links = 1;  // names the file has (hard links); 1 on file systems without them
    // 0 when this process may write the file; otherwise why not: EACCES (its permissions deny
    // it, or it has write permission for nobody, which marks it read-only even for a process
    // that could override that; Windows: the read-only attribute), EROFS (a read-only file
    // system).
    int writeError = 0;
};

// An open file; destroying it closes it as Abort does.
class IFile {
public:
    virtual ~IFile() = default;
    // Size from the file status.
    virtual std::uint64_t Size() = 0;
    // A fresh status of the open file; raises CFileError.
    virtual FileStatus Status() = 0;
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

// How a map is held while it is open. Readers share it; a writer has it alone, so that no one
// reads a map while it is being replaced and no two programs write it at once.
enum class MapLock {
    Shared,     // reading: other readers may hold it too, writers wait
    Exclusive,  // writing: everyone else waits
};

// How long an open waits for a map another process holds before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{2000};

// Opening reports why it failed (Result); once a file is open, reads, writes and the steps
// that put a new file in place raise CFileError. Paths are the platform's own.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // An existing regular file (a map), opened for reading and held as lock says until the
    // file is closed. While another process holds it in a way that excludes this one, the open
    // waits, up to `wait`. Should the path name another file by the time the hold is granted
    // (a writer put a new map in place meanwhile), that file is opened instead, so what is
    // read is the map the path names now. Nothing but a regular file is opened at all (opening
    // some devices acts on them; a pipe may never deliver). Fails with:
    //   ENOENT  nothing at path          EISDIR  a folder
    //   ESPIPE  a pipe or a socket       ENODEV  a device
    //   EBUSY   still held elsewhere when the wait ended
    //   or the system's reason (EACCES...).
    // Windows: share modes do the holding (Shared: FILE_SHARE_READ; Exclusive: no sharing),
    // retried while the open fails with a sharing violation.
    virtual Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                                      std::chrono::milliseconds wait) = 0;

    // A file to read to its end, without holding it (an entity file): a regular file, or a pipe
    // a program writes to (a shell's "<(command)"). Fails at once for a folder or a device, and
    // within a second for a named pipe that no program opens for writing. A pipe's Size is 0;
    // read until Read delivers less than asked.
    virtual Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) = 0;

    // The identity of the file path names now, links followed, without opening it for reading
    // or waiting for anyone who holds it.
    virtual Result<FileIdentity> Identify(const std::string& path) = 0;

    // A new empty file in the folder of finalPath, to be put in its place by Replace or
    // PublishNew, named ".NAME.entorra-XXXXXX" (see io/TemporaryName.h) and held by this
    // process until it is closed, so that no other process takes it for one left behind.
    //
    // First, the files of that pattern for the same finalPath that no process holds (left by a
    // write that never finished: a killed process, a crash) are removed.
    //
    // When there is a file at permissionsOf, the new file takes from it, before anything is
    // written: its permissions; its owner and group, as far as this process may set them; its
    // extended attributes (POSIX: user.* and the access list system.posix_acl_access must be
    // copied, others such as security labels are copied where permitted). A set-user-ID or
    // set-group-ID bit is never kept on a file whose owner or group differs from the model's.
    // Without a file at permissionsOf the new file gets what a new file gets in that folder
    // (the process's umask applies, and nothing else of the process changes: threads create
    // files at the same time). Windows: Replace (ReplaceFileW) hands on attributes, ACLs and
    // streams instead.
    virtual Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                        const std::string& permissionsOf) = 0;

    // Puts tempPath in the place of finalPath in one step; raises on failure. It does so even
    // while this process holds finalPath with OpenLocked (a platform that cannot replace an
    // open file lets go of that hold just before); a process waiting for that hold then opens
    // the new file.
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
