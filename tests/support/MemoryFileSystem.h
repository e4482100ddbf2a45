#pragma once

// Files kept in memory, for the fuzzer and for tests that need no disk. Nothing is held: there
// is no other process to keep out.

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

    Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                              std::chrono::milliseconds wait) override;
    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override {
        return OpenLocked(path, MapLock::Shared, {});
    }
    Result<FileIdentity> Identify(const std::string& path) override;
    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override;
    void Replace(const std::string& tempPath, const std::string& finalPath) override;
    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override;
    EntryKind KindOf(const std::string& path) override {
        return files.contains(path) ? EntryKind::File : EntryKind::None;
    }
    void Remove(const std::string& path) noexcept override { files.erase(path); }
    std::string ResolveLinks(const std::string& path) override { return path; }

    // The identity of a file present: a number per file made, its size, and a count of the
    // writes made through this file system.
    FileIdentity IdentityOf(const std::string& path);
    void Touch(const std::string& path) { m_writes[path] = ++m_nWrites; }

private:
    int m_nTemporaries = 0;
    std::uint64_t m_nFiles = 0;
    std::int64_t m_nWrites = 0;
    std::map<std::string, std::uint64_t> m_numbers;
    std::map<std::string, std::int64_t> m_writes;
};

}  // namespace entorra::testing
