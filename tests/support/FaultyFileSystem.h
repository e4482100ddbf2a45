#pragma once

// Decorates the real file system so that the n-th operation of a kind fails, as a full disk,
// a broken device or a refused rename would.

#include <string>

#include "io/FileSystem.h"

namespace entorra::testing {

enum class FileStep {
    OpenExclusive,
    OpenForReading,
    Size,
    Read,
    Hold,
    CreateTemporary,
    Write,
    Flush,
    Close,
    Replace,
    Publish,
};

const char* FileStepName(FileStep step);

class CFaultyFileSystem final : public IFileSystem {
public:
    explicit CFaultyFileSystem(IFileSystem& inner = RealFileSystem()) : m_inner(inner) {}

    // Fails the given step the `occurrence`-th time it is reached (1 = the first time).
    void FailAt(FileStep step, int occurrence = 1);
    // Whether the planned failure happened.
    bool Triggered() const { return m_bTriggered; }
    // Whether the failure is due now; counts the step.
    bool ShouldFail(FileStep step);

    Result<std::unique_ptr<IFile>> OpenExclusive(const std::string& path) override;
    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override;
    Result<std::unique_ptr<IFile>> HoldForReplace(const std::string& path) override;
    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override;
    void Replace(const std::string& tempPath, const std::string& finalPath) override;
    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override;
    EntryKind KindOf(const std::string& path) override { return m_inner.KindOf(path); }
    void Remove(const std::string& path) noexcept override { m_inner.Remove(path); }
    std::string ResolveLinks(const std::string& path) override {
        return m_inner.ResolveLinks(path);
    }

private:
    Result<std::unique_ptr<IFile>> Wrap(Result<std::unique_ptr<IFile>> file);

    IFileSystem& m_inner;
    bool m_bArmed = false;
    bool m_bTriggered = false;
    FileStep m_failStep = FileStep::Write;
    int m_nRemaining = 0;
};

}  // namespace entorra::testing
