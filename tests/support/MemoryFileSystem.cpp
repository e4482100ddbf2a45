#include "tests/support/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace entorra::testing {
namespace {

class CMemoryFile final : public IFile {
public:
    CMemoryFile(CMemoryFileSystem& owner, std::string path)
        : m_owner(owner), m_strPath(std::move(path)) {}

    std::uint64_t Size() override { return Contents().size(); }
    FileStatus Status() override { return {m_owner.IdentityOf(m_strPath), 1, 0}; }
    std::size_t Read(void* buffer, std::size_t count) override {
        const CMemoryFileSystem::Bytes& contents = Contents();
        const std::size_t delivered = std::min(count, contents.size() - m_nPosition);
        if (delivered == 0) {
            return 0;
        }
        std::memcpy(buffer, contents.data() + m_nPosition, delivered);
        m_nPosition += delivered;
        return delivered;
    }
    void Write(const void* data, std::size_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        CMemoryFileSystem::Bytes& contents = Contents();
        contents.insert(contents.end(), bytes, bytes + count);
        m_owner.Touch(m_strPath);
    }
    void Flush() override {}
    void Close() override {}
    void Abort() noexcept override {}

private:
    CMemoryFileSystem::Bytes& Contents() {
        const auto found = m_owner.files.find(m_strPath);
        if (found == m_owner.files.end()) {
            throw CFileError("no such file", ENOENT);
        }
        return found->second;
    }

    CMemoryFileSystem& m_owner;
    std::string m_strPath;
    std::size_t m_nPosition = 0;
};

}  // namespace

FileIdentity CMemoryFileSystem::IdentityOf(const std::string& path) {
    auto [number, added] = m_numbers.try_emplace(path, 0);
    if (added) {
        number->second = ++m_nFiles;
    }
    const auto found = files.find(path);
    return {1, number->second, found == files.end() ? 0 : found->second.size(), m_writes[path], 0};
}

Result<std::unique_ptr<IFile>> CMemoryFileSystem::OpenLocked(const std::string& path, MapLock,
                                                             std::chrono::milliseconds) {
    if (!files.contains(path)) {
        return SystemFailure("open", ENOENT);
    }
    return std::make_unique<CMemoryFile>(*this, path);
}

Result<FileIdentity> CMemoryFileSystem::Identify(const std::string& path) {
    if (!files.contains(path)) {
        return SystemFailure("stat", ENOENT);
    }
    return IdentityOf(path);
}

Result<TemporaryFile> CMemoryFileSystem::CreateTemporaryBeside(const std::string& finalPath,
                                                               const std::string&) {
    std::string tempPath = finalPath + ".tmp" + std::to_string(++m_nTemporaries);
    files[tempPath];
    m_numbers[tempPath] = ++m_nFiles;
    auto file = std::make_unique<CMemoryFile>(*this, tempPath);
    return TemporaryFile{std::move(file), std::move(tempPath)};
}

void CMemoryFileSystem::Replace(const std::string& tempPath, const std::string& finalPath) {
    const auto found = files.find(tempPath);
    if (found == files.end()) {
        throw CFileError("rename: no such file", ENOENT);
    }
    files[finalPath] = std::move(found->second);
    files.erase(tempPath);
    m_numbers[finalPath] = m_numbers[tempPath];
    m_writes[finalPath] = m_writes[tempPath];
    m_numbers.erase(tempPath);
    m_writes.erase(tempPath);
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
