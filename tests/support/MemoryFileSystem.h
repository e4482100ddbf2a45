#pragma once

// Files kept in memory, for the fuzzer and for tests that need no disk.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "io/FileSystem.h"

namespace entorra::testing {

class CMemoryFileSystem final : public IFileSystem {
public:
    using Bytes = std::vector<std::uint8_t>;

    std::map<std::string, Bytes> files;

    Result<std::unique_ptr<IFile>> OpenExclusive(const std::string& path) override;
    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override {
        return OpenExclusive(path);
    }
    Result<std::unique_ptr<IFile>> HoldForReplace(const std::string& path) override;
    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override;
    void Replace(const std::string& tempPath, const std::string& finalPath) override;
    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override;
    EntryKind KindOf(const std::string& path) override {
        return files.contains(path) ? EntryKind::File : EntryKind::None;
    }
    void Remove(const std::string& path) noexcept override { files.erase(path); }
    std::string ResolveLinks(const std::string& path) override { return path; }

private:
    int m_nTemporaries = 0;
};

}  // namespace entorra::testing
