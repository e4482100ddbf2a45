#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "io/FileSystem.h"
#include "io/TemporaryName.h"

namespace entorra {
namespace {

using Clock = std::chrono::steady_clock;

// How long a named pipe may keep its reader waiting for a writer to open it.
constexpr int kPipeWriterWaitMs = 1000;

[[noreturn]] void Raise(const char* operation) {
    throw CFileError(SystemFailure(operation, errno));
}

// Closes a descriptor on every way out unless it is handed on.
class CDescriptor {
public:
    explicit CDescriptor(int descriptor) : m_nDescriptor(descriptor) {}
    ~CDescriptor() {
        if (m_nDescriptor >= 0) {
            ::close(m_nDescriptor);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_nDescriptor; }
    int Release() { return std::exchange(m_nDescriptor, -1); }

private:
    int m_nDescriptor;
};

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size), Nanoseconds(status.st_mtim),
            Nanoseconds(status.st_ctim)};
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What a path that names no regular file names instead, as the interface's error numbers.
Failure NotARegularFile(mode_t mode) {
    if (S_ISDIR(mode)) {
        return {"a folder, not a file", EISDIR};
    }
    if (S_ISFIFO(mode) || S_ISSOCK(mode)) {
        return {"a pipe or a socket, not a file", ESPIPE};
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return {"a device, not a file", ENODEV};
    }
    return {"not a regular file", EINVAL};
}

// Why this process may not write the file at path (0 when it may).
int WriteErrorOf(const std::string& path, const struct stat& status) {
    // Write permission for nobody marks a file read-only, even for root, who could write it.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    if (path.empty() || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) {
        return 0;
    }
    return errno == EACCES || errno == EPERM || errno == EROFS ? errno : 0;
}

class CPosixFile final : public IFile {
public:
    // path: the name the file was opened by, for the permission check of Status.
    CPosixFile(int descriptor, std::string path, std::int64_t knownSize = -1,
               std::string pending = {})
        : m_nDescriptor(descriptor),
          m_strPath(std::move(path)),
          m_nKnownSize(knownSize),
          m_strPending(std::move(pending)) {}
    ~CPosixFile() override { Abort(); }
    CPosixFile(const CPosixFile&) = delete;
    CPosixFile& operator=(const CPosixFile&) = delete;

    std::uint64_t Size() override {
        if (m_nKnownSize >= 0) {
            return static_cast<std::uint64_t>(m_nKnownSize);
        }
        struct stat status {};
        if (fstat(m_nDescriptor, &status) != 0) {
            Raise("fstat");
        }
        return static_cast<std::uint64_t>(status.st_size);
    }

    FileStatus Status() override {
        struct stat status {};
        if (fstat(m_nDescriptor, &status) != 0) {
            Raise("fstat");
        }
        return {IdentityOf(status), static_cast<std::uint32_t>(status.st_nlink),
                WriteErrorOf(m_strPath, status)};
    }

    std::size_t Read(void* buffer, std::size_t count) override {
        auto* bytes = static_cast<char*>(buffer);
        std::size_t delivered = std::min(count, m_strPending.size());
        m_strPending.copy(bytes, delivered);
        m_strPending.erase(0, delivered);
        while (delivered < count) {
            const ssize_t got = ::read(m_nDescriptor, bytes + delivered, count - delivered);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                Raise("read");
            }
            if (got == 0) {
                break;
            }
            delivered += static_cast<std::size_t>(got);
        }
        return delivered;
    }

    void Write(const void* data, std::size_t count) override {
        const auto* bytes = static_cast<const char*>(data);
        while (count > 0) {
            const ssize_t put = ::write(m_nDescriptor, bytes, count);
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                Raise("write");
            }
            bytes += put;
            count -= static_cast<std::size_t>(put);
        }
    }

    void Flush() override {
        if (::fsync(m_nDescriptor) != 0) {
            Raise("fsync");
        }
    }

    void Close() override {
        const int descriptor = m_nDescriptor;
        m_nDescriptor = -1;
        if (descriptor >= 0 && ::close(descriptor) != 0) {
            Raise("close");
        }
    }

    void Abort() noexcept override {
        if (m_nDescriptor >= 0) {
            ::close(m_nDescriptor);
            m_nDescriptor = -1;
        }
    }

private:
    int m_nDescriptor;
    std::string m_strPath;
    std::int64_t m_nKnownSize;  // from the status taken at open; -1 when not taken
    std::string m_strPending;   // read from a pipe at open, delivered first
};

// Takes the lock without blocking, trying again until the deadline: flock cannot wait for a
// while only, and a signal to cut a blocking wait short would be the whole process's.
std::optional<Failure> LockBefore(int descriptor, MapLock lock, Clock::time_point deadline) {
    const int operation = (lock == MapLock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(descriptor, operation) == 0) {
            return std::nullopt;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return SystemFailure("flock", errno);
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return Failure{"flock: the file is held by another process", EBUSY};
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds{20});
    }
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes fileName's temporary files in the folder that no process holds: a process writing
// one holds it from its creation until it closes it.
void RemoveStaleTemporaries(const std::string& folder, const std::string& fileName) {
    CDescriptor folderDescriptor(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (folderDescriptor.Get() < 0) {
        return;
    }
    DIR* entries = ::fdopendir(::dup(folderDescriptor.Get()));
    if (entries == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (!IsTemporaryNameOf(name, fileName)) {
            continue;
        }
        CDescriptor temporary(::openat(folderDescriptor.Get(), entry->d_name,
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat opened {};
        struct stat named {};
        if (temporary.Get() < 0 || ::fstat(temporary.Get(), &opened) != 0 ||
            !S_ISREG(opened.st_mode) || ::flock(temporary.Get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        // Removed only while it is still the file just found free.
        if (::fstatat(folderDescriptor.Get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameInode(opened, named)) {
            ::unlinkat(folderDescriptor.Get(), entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

bool MustBeCopied(std::string_view attribute) {
    return attribute.starts_with("user.") || attribute == "system.posix_acl_access";
}

// Copies the extended attributes of the file at model onto the open file: those that carry
// data or access rights must arrive; labels and others only where this process may set them.
std::optional<Failure> CopyExtendedAttributes(const std::string& model, int descriptor) {
    std::string names;
    for (;;) {
        const ssize_t size = ::listxattr(model.c_str(), nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP || errno == ENOSYS
                       ? std::nullopt
                       : std::optional(SystemFailure("listxattr", errno));
        }
        names.resize(static_cast<std::size_t>(size));
        const ssize_t listed = ::listxattr(model.c_str(), names.data(), names.size());
        if (listed >= 0) {
            names.resize(static_cast<std::size_t>(listed));
            break;
        }
        if (errno != ERANGE) {
            return SystemFailure("listxattr", errno);
        }
    }
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const std::string name = names.c_str() + at;
        at += name.size() + 1;
        ssize_t got = -1;
        do {
            const ssize_t size = ::getxattr(model.c_str(), name.c_str(), nullptr, 0);
            if (size < 0) {
                break;
            }
            value.resize(static_cast<std::size_t>(size));
            got = ::getxattr(model.c_str(), name.c_str(), value.data(), value.size());
        } while (got < 0 && errno == ERANGE);
        if (got < 0) {
            if (MustBeCopied(name) && errno != ENODATA) {
                return SystemFailure("getxattr " + name, errno);
            }
            continue;
        }
        value.resize(static_cast<std::size_t>(got));
        if (::fsetxattr(descriptor, name.c_str(), value.data(), value.size(), 0) != 0 &&
            MustBeCopied(name)) {
            return SystemFailure("fsetxattr " + name, errno);
        }
    }
    return std::nullopt;
}

// Gives the new file the owner, group, extended attributes and permissions of the model, as
// far as this process may. The mode comes last: a change of owner clears the set-ID bits, and
// an access list sets the group bits.
std::optional<Failure> TakeAttributesOf(const std::string& model, const struct stat& modelStatus,
                                        int descriptor) {
    if (::fchown(descriptor, modelStatus.st_uid, modelStatus.st_gid) != 0) {
        // Not the owner, then at least the group, which a member may give it.
        (void)::fchown(descriptor, static_cast<uid_t>(-1), modelStatus.st_gid);
    }
    if (std::optional<Failure> failure = CopyExtendedAttributes(model, descriptor)) {
        return failure;
    }
    struct stat created {};
    if (::fstat(descriptor, &created) != 0) {
        return SystemFailure("fstat", errno);
    }
    mode_t mode = modelStatus.st_mode & 07777;
    // A set-ID bit would now make the program run as someone else than the model's owner.
    if (created.st_uid != modelStatus.st_uid || created.st_gid != modelStatus.st_gid) {
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    if (::fchmod(descriptor, mode) != 0) {
        return SystemFailure("fchmod", errno);
    }
    return std::nullopt;
}

// A pipe is read when a program writes to it: one that is already writing (a shell's
// "<(command)"), or one that opens it within a second. Without a writer the pipe is refused
// rather than waited for. Bytes read while finding out go to pending; on success the
// descriptor blocks again, so that reads wait for the writer's next bytes.
std::optional<Failure> AwaitWriter(int descriptor, std::string& pending) {
    pollfd waiting{descriptor, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&waiting, 1, kPipeWriterWaitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return SystemFailure("poll", errno);
    }
    if (ready == 0) {
        // Nothing came: a writer may be there and silent, or there is none.
        char byte = 0;
        const ssize_t got = ::read(descriptor, &byte, 1);
        if (got == 0) {
            return Failure{"a named pipe that no program writes to", ENXIO};
        }
        if (got == 1) {
            pending.push_back(byte);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return SystemFailure("read", errno);
        }
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return SystemFailure("fcntl", errno);
    }
    return std::nullopt;
}

class CPosixFileSystem final : public IFileSystem {
public:
    Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                              std::chrono::milliseconds wait) override {
        const Clock::time_point deadline = Clock::now() + wait;
        for (;;) {
            // Looked at first: a device or a pipe is not even opened.
            struct stat named {};
            if (::stat(path.c_str(), &named) != 0) {
                return SystemFailure("stat", errno);
            }
            if (!S_ISREG(named.st_mode)) {
                return NotARegularFile(named.st_mode);
            }
            // O_NONBLOCK, should the path name a pipe by now; it changes nothing for files.
            CDescriptor descriptor(
                ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
            if (descriptor.Get() < 0) {
                return SystemFailure("open", errno);
            }
            struct stat opened {};
            if (::fstat(descriptor.Get(), &opened) != 0) {
                return SystemFailure("fstat", errno);
            }
            if (!S_ISREG(opened.st_mode)) {
                return NotARegularFile(opened.st_mode);
            }
            if (std::optional<Failure> failure = LockBefore(descriptor.Get(), lock, deadline)) {
                return *std::move(failure);
            }
            // A writer may have put a new map in place while this one waited: that is the one.
            if (::stat(path.c_str(), &named) == 0 && SameInode(named, opened)) {
                // The size as it is now that nobody writes it.
                return std::make_unique<CPosixFile>(descriptor.Release(), path,
                                                    static_cast<std::int64_t>(named.st_size));
            }
            if (Clock::now() >= deadline) {
                return Failure{"the file was replaced while its hold was awaited", EBUSY};
            }
        }
    }

    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override {
        // Not blocking: opening a named pipe would otherwise wait for a writer without end.
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (descriptor < 0) {
            return SystemFailure("open", errno);
        }
        struct stat status {};
        std::optional<Failure> failure;
        std::string pending;
        if (fstat(descriptor, &status) != 0) {
            failure = SystemFailure("fstat", errno);
        } else if (S_ISREG(status.st_mode)) {
            return std::make_unique<CPosixFile>(descriptor, path,
                                                static_cast<std::int64_t>(status.st_size));
        } else if (S_ISFIFO(status.st_mode)) {
            failure = AwaitWriter(descriptor, pending);
        } else if (S_ISDIR(status.st_mode)) {
            failure = Failure{"not a file: a folder", EISDIR};
        } else if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
            // A terminal would wait for typing, /dev/zero never ends.
            failure = Failure{"not a file: a device", ENODEV};
        } else {
            failure = Failure{"not a file", EINVAL};
        }
        if (failure) {
            ::close(descriptor);
            return *std::move(failure);
        }
        return std::make_unique<CPosixFile>(descriptor, path, -1, std::move(pending));
    }

    Result<FileIdentity> Identify(const std::string& path) override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return SystemFailure("stat", errno);
        }
        return IdentityOf(status);
    }

    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override {
        const std::string folder = FolderOf(finalPath);
        const std::string name = BaseNameOf(finalPath);
        RemoveStaleTemporaries(folder, name);

        // The mode is given to open, never read from the process: the umask is process-wide
        // and other threads create files meanwhile. A model's mode is set exactly, later.
        struct stat model {};
        const bool copied = ::stat(permissionsOf.c_str(), &model) == 0 && S_ISREG(model.st_mode);
        const mode_t mode =
            copied ? S_IRUSR | S_IWUSR : S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = folder + "/" + NewTemporaryName(name);
            CDescriptor descriptor(
                ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode));
            if (descriptor.Get() < 0) {
                if (errno == EEXIST) {
                    continue;
                }
                return SystemFailure("open", errno);
            }
            // Held from here on. Another write's clean-up may have taken the file for a stale
            // one in the instant before and removed it: then it is made again.
            struct stat created {};
            struct stat named {};
            if (::flock(descriptor.Get(), LOCK_EX | LOCK_NB) != 0 ||
                ::fstat(descriptor.Get(), &created) != 0 || ::lstat(path.c_str(), &named) != 0 ||
                !SameInode(created, named)) {
                continue;
            }
            if (copied) {
                if (std::optional<Failure> failure =
                        TakeAttributesOf(permissionsOf, model, descriptor.Get())) {
                    ::unlink(path.c_str());
                    return *std::move(failure);
                }
            }
            auto file = std::make_unique<CPosixFile>(descriptor.Release(), path);
            return TemporaryFile{std::move(file), std::move(path)};
        }
        return SystemFailure("open", EEXIST);
    }

    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        if (::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
            Raise("rename");
        }
        // The folder is not synced: should the system crash before it reaches the disk, the
        // map is found whole, old or new, and the price of a second flush on every save
        // buys nothing more than that.
    }

    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override {
        // A hard link puts the file in place only where nothing is yet, in one step.
        if (::link(tempPath.c_str(), finalPath.c_str()) == 0) {
            ::unlink(tempPath.c_str());
            return PublishOutcome::Published;
        }
        const int code = errno;
        if (code == EEXIST) {
            return PublishOutcome::Existing;
        }
        if (code != EPERM && code != EOPNOTSUPP && code != ENOSYS) {
            throw CFileError(SystemFailure("link", code));
        }
        // No hard links here: a look and a rename are the next best thing.
        if (KindOf(finalPath) != EntryKind::None) {
            return PublishOutcome::Existing;
        }
        Replace(tempPath, finalPath);
        return PublishOutcome::Published;
    }

    EntryKind KindOf(const std::string& path) override {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) {
            return EntryKind::None;
        }
        return S_ISREG(status.st_mode) || S_ISLNK(status.st_mode) ? EntryKind::File
                                                                  : EntryKind::Other;
    }

    void Remove(const std::string& path) noexcept override { ::unlink(path.c_str()); }

    std::string ResolveLinks(const std::string& path) override {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::path current(path);
        // Bounded like the kernel's own limit on nested links.
        for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(current, error)); ++hop) {
            const fs::path target = fs::read_symlink(current, error);
            if (error) {
                break;
            }
            current = target.is_absolute() ? target : current.parent_path() / target;
        }
        return current.string();
    }
};

}  // namespace

IFileSystem& RealFileSystem() {
    static CPosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace entorra
