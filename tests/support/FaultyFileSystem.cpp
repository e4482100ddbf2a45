#include "tests/support/FaultyFileSystem.h"

#include <cerrno>

namespace entorra::testing {
namespace {

class CFaultyFile final : public IFile {
public:
    CFaultyFile(std::unique_ptr<IFile> inner, CFaultyFileSystem& owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    std::uint64_t Size() override {
        if (m_owner.ShouldFail(FileStep::Size)) {
            throw CFileError("fstat: injected", m_owner.FailureCode(EIO));
        }
        return m_inner->Size();
    }
    FileStatus Status() override {
        if (m_owner.ShouldFail(FileStep::Size)) {
            throw CFileError("fstat: injected", m_owner.FailureCode(EIO));
        }
        return m_inner->Status();
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        if (m_owner.ShouldFail(FileStep::Read)) {
            throw CFileError("read: injected", m_owner.FailureCode(EIO));
        }
        return m_inner->Read(buffer, count);
    }
    void Write(const void* data, std::size_t count) override {
        if (m_owner.ShouldFail(FileStep::Write)) {
            // A full disk takes part of the data before it refuses the rest.
            m_inner->Write(data, count / 2);
            throw CFileError("write: injected", m_owner.FailureCode(ENOSPC));
        }
        m_inner->Write(data, count);
    }
    void Flush() override {
        if (m_owner.ShouldFail(FileStep::Flush)) {
            throw CFileError("fsync: injected", m_owner.FailureCode(EIO));
        }
        m_inner->Flush();
    }
    void Close() override {
        if (m_owner.ShouldFail(FileStep::Close)) {
            m_inner->Abort();
            throw CFileError("close: injected", m_owner.FailureCode(EIO));
        }
        m_inner->Close();
    }
    void Abort() noexcept override { m_inner->Abort(); }

private:
    std::unique_ptr<IFile> m_inner;
    CFaultyFileSystem& m_owner;
};

}  // namespace

const char* FileStepName(FileStep step) {
    switch (step) {
        case FileStep::Open:
            return "open";
        case FileStep::OpenForReading:
            return "open for reading";
        case FileStep::Size:
            return "size";
        case FileStep::Read:
            return "read";
        case FileStep::CreateTemporary:
            return "create temporary";
        case FileStep::Write:
            return "write";
        case FileStep::Flush:
            return "flush";
        case FileStep::Close:
            return "close";
        case FileStep::Replace:
            return "replace";
        case FileStep::Publish:
            return "publish";
    }
    return "?";
}

void CFaultyFileSystem::FailAt(FileStep step, int occurrence, int code) {
    m_nCode = code;
    m_bArmed = true;
    m_bTriggered = false;
    m_failStep = step;
    m_nRemaining = occurrence;
}

bool CFaultyFileSystem::ShouldFail(FileStep step) {
    if (!m_bArmed || step != m_failStep || --m_nRemaining > 0) {
        return false;
    }
    m_bArmed = false;
    m_bTriggered = true;
    return true;
}

Result<std::unique_ptr<IFile>> CFaultyFileSystem::Wrap(Result<std::unique_ptr<IFile>> file) {
    if (!file) {
        return file;
    }
    return std::make_unique<CFaultyFile>(std::move(file).Value(), *this);
}

Result<std::unique_ptr<IFile>> CFaultyFileSystem::OpenLocked(const std::string& path, MapLock lock,
                                                             std::chrono::milliseconds wait) {
    // By default as another program's hold that outlasts the wait.
    if (ShouldFail(FileStep::Open)) {
        return Failure{"open: injected", FailureCode(EBUSY)};
    }
    return Wrap(m_inner.OpenLocked(path, lock, wait));
}

Result<std::unique_ptr<IFile>> CFaultyFileSystem::OpenForReading(const std::string& path) {
    if (ShouldFail(FileStep::OpenForReading)) {
        return Failure{"open: injected", FailureCode(EIO)};
    }
    return Wrap(m_inner.OpenForReading(path));
}

Result<TemporaryFile> CFaultyFileSystem::CreateTemporaryBeside(const std::string& finalPath,
                                                               const std::string& permissionsOf) {
    if (ShouldFail(FileStep::CreateTemporary)) {
        return Failure{"open: injected", FailureCode(ENOSPC)};
    }
    Result<TemporaryFile> created = m_inner.CreateTemporaryBeside(finalPath, permissionsOf);
    if (!created) {
        return created;
    }
    created->file = std::make_unique<CFaultyFile>(std::move(created->file), *this);
    return created;
}

void CFaultyFileSystem::Replace(const std::string& tempPath, const std::string& finalPath) {
    if (ShouldFail(FileStep::Replace)) {
        throw CFileError("rename: injected", FailureCode(EXDEV));
    }
    m_inner.Replace(tempPath, finalPath);
}

PublishOutcome CFaultyFileSystem::PublishNew(const std::string& tempPath,
                                             const std::string& finalPath) {
    if (ShouldFail(FileStep::Publish)) {
        throw CFileError("link: injected", FailureCode(EXDEV));
    }
    return m_inner.PublishNew(tempPath, finalPath);
}

}  // namespace entorra::testing
