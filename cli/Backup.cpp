#include "cli/Backup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace entorra::cli {
namespace {

// Whether something is at path; a backup that is not a plain file cannot stand for one.
bool BackupExists(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return false;
    }
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
        throw CFileError(path + " exists and is not a file", EEXIST);
    }
    return true;
}

}  // namespace

std::string BackupPathFor(const std::string& mapPath) {
    return mapPath + ".bak";
}

BackupResult MakeBackup(IFileSystem& fileSystem, const std::string& mapPath,
                        std::span<const std::uint8_t> image) {
    const std::string backup = BackupPathFor(mapPath);
    if (BackupExists(backup)) {
        return BackupResult::Existing;
    }
    std::string temporary;
    std::unique_ptr<IFile> output = fileSystem.CreateTemporaryBeside(backup, temporary);
    if (!output) {
        throw CFileError("cannot create a temporary file beside " + backup, errno);
    }
    try {
        output->Write(image.data(), image.size());
        output->Flush();
        output->Close();
        struct stat status {};
        if (::stat(mapPath.c_str(), &status) == 0) {
            ::chmod(temporary.c_str(), status.st_mode & 07777);
        }
        // A hard link puts the backup in place only where nothing is yet, in one step, so a
        // backup made meanwhile by another process survives.
        BackupResult result = BackupResult::Created;
        if (::link(temporary.c_str(), backup.c_str()) != 0) {
            const int code = errno;
            if (code == EEXIST) {
                result = BackupResult::Existing;
            } else if (code == EPERM || code == EOPNOTSUPP || code == ENOSYS) {
                // No hard links here: a rename is the next best thing.
                if (BackupExists(backup)) {
                    result = BackupResult::Existing;
                } else {
                    fileSystem.Replace(temporary, backup);
                    return result;
                }
            } else {
                throw CFileError("link: " + std::string(std::strerror(code)), code);
            }
        }
        fileSystem.Remove(temporary);
        return result;
    } catch (...) {
        output->Abort();
        fileSystem.Remove(temporary);
        throw;
    }
}

}  // namespace entorra::cli
