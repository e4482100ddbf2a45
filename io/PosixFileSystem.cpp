#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "io/FileSystem.h"

namespace entorra {
namespace {

[[noreturn]] void Raise(const char* operation) {
    const int code = errno;
    throw CFileError(std::string(operation) + ": " + std::strerror(code), code);
}

class CPosixFile final : public IFile {
public:
    explicit CPosixFile(int descriptor, std::int64_t knownSize = -1)
        : m_nDescriptor(descriptor), m_nKnownSize(knownSize) {}
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
        std::size_t delivered = 0;
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
int OpenRegularLocked(const std::string& path, std::int64_t& size) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(descriptor);
        errno = code;
        return -1;
    }
    size = static_cast<std::int64_t>(status.st_size);
    return descriptor;
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

class CPosixFileSystem final : public IFileSystem {
public:
    std::unique_ptr<IFile> OpenExclusive(const std::string& path) override {
        std::int64_t size = 0;
        const int descriptor = OpenRegularLocked(path, size);
        if (descriptor < 0) {
            return nullptr;
        }
        return std::make_unique<CPosixFile>(descriptor, size);
    }

    std::unique_ptr<IFile> HoldForReplace(const std::string& path) override {
        std::int64_t size = 0;
        const int descriptor = OpenRegularLocked(path, size);
        if (descriptor >= 0) {
            return std::make_unique<CPosixFile>(descriptor, size);
        }
        if (errno == ENOENT) {
            return std::make_unique<CNoFile>();
        }
        return nullptr;
    }

    std::unique_ptr<IFile> CreateTemporaryBeside(const std::string& finalPath,
                                                 std::string& tempPath) override {
        std::string pattern = FolderOf(finalPath) + "/." + BaseNameOf(finalPath) + ".XXXXXX";
        const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (descriptor < 0) {
            return nullptr;
        }
        auto file = std::make_unique<CPosixFile>(descriptor);
        struct stat status {};
        mode_t mode = 0;
        if (::stat(finalPath.c_str(), &status) == 0) {
            mode = status.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = static_cast<mode_t>(0666 & ~mask);
        }
        if (::fchmod(descriptor, mode) != 0) {
            file->Abort();
            ::unlink(pattern.c_str());
            return nullptr;
        }
        tempPath = pattern;
        return file;
    }

    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        if (::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
            Raise("rename");
        }
        // The folder is not synced: should the system crash before it reaches the disk, the
        // map is found whole, old or new, and the price of a second flush on every save
        // buys nothing more than that.
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
