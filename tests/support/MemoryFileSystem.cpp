#include "tests/support/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace entorra::testing {
namespace {

class CMemoryFile final : public IFile {
public:
    explicit CMemoryFile(CMemoryFileSystem::Bytes* contents) : m_pContents(contents) {}

    std::uint64_t Size() override { return m_pContents->size(); }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t delivered = std::min(count, m_pContents->size() - m_nPosition);
        if (delivered == 0) {
            return 0;
        }
        std::memcpy(buffer, m_pContents->data() + m_nPosition, delivered);
        m_nPosition += delivered;
        return delivered;
    }
    void Write(const void* data, std::size_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        m_pContents->insert(m_pContents->end(), bytes, bytes + count);
    }
    void Flush() override {}
    void Close() override {}
    void Abort() noexcept override {}

private:
    CMemoryFileSystem::Bytes* m_pContents;
    std::size_t m_nPosition = 0;
};

}  // namespace

Result<std::unique_ptr<IFile>> CMemoryFileSystem::OpenExclusive(const std::string& path) {
    const auto found = files.find(path);
    if (found == files.end()) {
        return SystemFailure("open", ENOENT);
    }
    return std::make_unique<CMemoryFile>(&found->second);
}

Result<std::unique_ptr<IFile>> CMemoryFileSystem::HoldForReplace(const std::string& path) {
    static Bytes nothing;
    const auto found = files.find(path);
    return std::make_unique<CMemoryFile>(found == files.end() ? &nothing : &found->second);
}

Result<TemporaryFile> CMemoryFileSystem::CreateTemporaryBeside(const std::string& finalPath,
                                                               const std::string&) {
    std::string tempPath = finalPath + ".tmp" + std::to_string(++m_nTemporaries);
    auto file = std::make_unique<CMemoryFile>(&files[tempPath]);
    return TemporaryFile{std::move(file), std::move(tempPath)};
}

void CMemoryFileSystem::Replace(const std::string& tempPath, const std::string& finalPath) {
    const auto found = files.find(tempPath);
    if (found == files.end()) {
        throw CFileError("rename: no such file", ENOENT);
    }
    files[finalPath] = std::move(found->second);
    files.erase(tempPath);
}

PublishOutcome CMemoryFileSystem::PublishNew(const std::string& tempPath,
                                             const std::string& finalPath) {
    if (files.contains(finalPath)) {
        return PublishOutcome::Existing;
    }
    Replace(tempPath, finalPath);
    return PublishOutcome::Published;
}

}  // namespace entorra::testing
