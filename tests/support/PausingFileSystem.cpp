#include "tests/support/PausingFileSystem.h"

#include <thread>

namespace entorra::testing {
namespace {

class CPausingFile final : public IFile {
public:
    CPausingFile(std::unique_ptr<IFile> inner, std::chrono::milliseconds readPause)
        : m_inner(std::move(inner)), m_readPause(readPause) {}

    std::uint64_t Size() override { return m_inner->Size(); }
    FileStatus Status() override { return m_inner->Status(); }
    std::size_t Read(void* buffer, std::size_t count) override {
        std::this_thread::sleep_for(m_readPause);
        return m_inner->Read(buffer, count);
    }
    void Write(const void* data, std::size_t count) override { m_inner->Write(data, count); }
    void Flush() override { m_inner->Flush(); }
    void Close() override { m_inner->Close(); }
    void Abort() noexcept override { m_inner->Abort(); }

private:
    std::unique_ptr<IFile> m_inner;
    std::chrono::milliseconds m_readPause;
};

}  // namespace

Result<std::unique_ptr<IFile>> CPausingFileSystem::OpenLocked(const std::string& path, MapLock lock,
                                                              std::chrono::milliseconds wait) {
    Result<std::unique_ptr<IFile>> opened =
        m_inner.OpenLocked(path, lock, m_lockWait.count() >= 0 ? m_lockWait : wait);
    if (!opened || m_readPause.count() == 0) {
        return opened;
    }
    return std::make_unique<CPausingFile>(std::move(opened).Value(), m_readPause);
}

Result<TemporaryFile> CPausingFileSystem::CreateTemporaryBeside(const std::string& finalPath,
                                                                const std::string& permissionsOf) {
    std::this_thread::sleep_for(m_writePause);
    return m_inner.CreateTemporaryBeside(finalPath, permissionsOf);
}

}  // namespace entorra::testing
