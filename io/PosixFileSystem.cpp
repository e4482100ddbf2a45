#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "io/FileSystem.h"

namespace entorra {
namespace {

// How long a named pipe may keep its reader waiting for a writer to open it.
constexpr int kPipeWriterWaitMs = 1000;

[[noreturn]] void Raise(const char* operation) {
    throw CFileError(SystemFailure(operation, errno));
}

class CPosixFile final : public IFile {
public:
    explicit CPosixFile(int descriptor, std::int64_t knownSize = -1, std::string pending = {})
        : m_nDescriptor(descriptor), m_nKnownSize(knownSize), m_strPending(std::move(pending)) {}
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
    std::int64_t m_nKnownSize;  // from the status taken at open; -1 when not taken
    std::string m_strPending;   // read from a pipe at open, delivered first
};

// Stands in for a map that does not exist yet: there is nothing to hold.
class CNoFile final : public IFile {
public:
    std::uint64_t Size() override { return 0; }
    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void*, std::size_t) override { throw CFileError("write: no file", EBADF); }
    void Flush() override {}
    void Close() override {}
    void Abort() noexcept override {}
};

// Opens without blocking on FIFOs and devices, accepts regular files only, and takes a
// non-blocking exclusive lock: files here have no share modes, so the lock stands in for them.
// O_NONBLOCK stays set; it changes nothing for regular files. The file status taken here also
// gives the size, so no second one is needed.
Result<std::unique_ptr<IFile>> OpenRegularLocked(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return SystemFailure("open", errno);
    }
    std::optional<Failure> failure;
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        failure = SystemFailure("fstat", errno);
    } else if (!S_ISREG(status.st_mode)) {
        failure = Failure{"not a regular file", S_ISDIR(status.st_mode) ? EISDIR : EINVAL};
    } else if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        failure = SystemFailure("flock", errno);
    }
    if (failure) {
        ::close(descriptor);
        return *std::move(failure);
    }
    return std::make_unique<CPosixFile>(descriptor, static_cast<std::int64_t>(status.st_size));
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

// Six characters a temporary name differs by, as mkstemp's.
std::string RandomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix(6, ' ');
    for (char& c : suffix) {
        c = kLetters[pick(generator)];
    }
    return suffix;
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
    Result<std::unique_ptr<IFile>> OpenExclusive(const std::string& path) override {
        return OpenRegularLocked(path);
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
            return std::make_unique<CPosixFile>(descriptor,
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
        return std::make_unique<CPosixFile>(descriptor, -1, std::move(pending));
    }

    Result<std::unique_ptr<IFile>> HoldForReplace(const std::string& path) override {
        Result<std::unique_ptr<IFile>> held = OpenRegularLocked(path);
        if (!held && held.Error().code == ENOENT) {
            return std::make_unique<CNoFile>();
        }
        return held;
    }

    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override {
        // The mode is given to open, never read from the process: the umask is process-wide
        // and other threads create files meanwhile. A mode copied from a file is set exactly.
        struct stat model {};
        const bool copied = ::stat(permissionsOf.c_str(), &model) == 0;
        const mode_t mode =
            copied ? S_IRUSR | S_IWUSR : S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
        const std::string prefix = FolderOf(finalPath) + "/." + BaseNameOf(finalPath) + ".";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = prefix + RandomSuffix();
            const int descriptor =
                ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
            if (descriptor < 0) {
                if (errno == EEXIST) {
                    continue;
                }
                return SystemFailure("open", errno);
            }
            auto file = std::make_unique<CPosixFile>(descriptor);
            if (copied && ::fchmod(descriptor, model.st_mode & 07777) != 0) {
                const int code = errno;
                file->Abort();
                ::unlink(path.c_str());
                return SystemFailure("fchmod", code);
            }
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
