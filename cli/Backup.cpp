#include "cli/Backup.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

// Whether something is at path; a backup that is not a plain file cannot stand for one.
bool BackupExists(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(PathFromUtf8(path), error);
    if (error || !fs::exists(status)) {
        return false;
    }
    if (!fs::is_regular_file(status) && !fs::is_symlink(status)) {
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
        std::error_code error;
        const fs::file_status map = fs::status(PathFromUtf8(mapPath), error);
        if (!error) {
            fs::permissions(PathFromUtf8(temporary), map.permissions(), error);
        }
        // A hard link puts the backup in place only where nothing is yet, in one step, so a
        // backup made meanwhile by another process survives.
        BackupResult result = BackupResult::Created;
        fs::create_hard_link(PathFromUtf8(temporary), PathFromUtf8(backup), error);
        if (error) {
            if (error == std::errc::file_exists) {
                result = BackupResult::Existing;
            } else if (error == std::errc::operation_not_permitted ||
                       error == std::errc::operation_not_supported ||
                       error == std::errc::function_not_supported) {
                // No hard links here: a rename is the next best thing.
                if (BackupExists(backup)) {
                    result = BackupResult::Existing;
                } else {
                    fileSystem.Replace(temporary, backup);
                    return result;
                }
            } else {
                throw CFileError("link: " + error.message(), error.value());
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
