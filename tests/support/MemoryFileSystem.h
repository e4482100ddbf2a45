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

    std::unique_ptr<IFile> OpenExclusive(const std::string& path) override;
    std::unique_ptr<IFile> HoldForReplace(const std::string& path) override;
    std::unique_ptr<IFile> CreateTemporaryBeside(const std::string& finalPath,
                                                 std::string& tempPath) override;
    void Replace(const std::string& tempPath, const std::string& finalPath) override;
    void Remove(const std::string& path) noexcept override { files.erase(path); }
    std::string ResolveLinks(const std::string& path) override { return path; }

private:
    int m_nTemporaries = 0;
};

}  // namespace entorra::testing
