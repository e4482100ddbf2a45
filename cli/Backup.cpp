#include "cli/Backup.h"

#include "io/AtomicWrite.h"

namespace entorra::cli {

std::string BackupPathFor(const std::string& mapPath) {
    return mapPath + ".bak";
}

BackupResult MakeBackup(IFileSystem& fileSystem, const std::string& mapPath,
                        std::span<const std::uint8_t> image) {
    // An existing backup holds an older state of the map, even one made meanwhile by another
    // process: it is kept.
    return WriteNewFile(fileSystem, BackupPathFor(mapPath), image.data(), image.size(), mapPath) ==
                   PublishOutcome::Published
               ? BackupResult::Created
               : BackupResult::Existing;
}

}  // namespace entorra::cli
