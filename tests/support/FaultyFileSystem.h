#pragma once

// Decorates the real file system so that the n-th operation of a kind fails, as a full disk,
// a broken device or a refused rename would.

#include <string>

#include "io/FileSystem.h"

namespace entorra::testing {

enum class FileStep {
    Open,  // a map, by OpenLocked: a load, or the hold of a save
    OpenForReading,
    Size,  // the file status: Size and Status
    Read,
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

    // Fails the given step the `occurrence`-th time it is reached (1 = the first time), with
    // the error number code, or the step's usual one when code is 0.
    void FailAt(FileStep step, int occurrence = 1, int code = 0);
    // Whether the planned failure happened.
    bool Triggered() const { return m_bTriggered; }
    // Whether the failure is due now; counts the step.
    bool ShouldFail(FileStep step);

    // The failure code for the step now failing: the planned one, or the step's own.
    int FailureCode(int usual) const { return m_nCode != 0 ? m_nCode : usual; }

    Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                              std::chrono::milliseconds wait) override;
    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override;
    Result<FileIdentity> Identify(const std::string& path) override {
        return m_inner.Identify(path);
    }
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
    int m_nCode = 0;
};

}  // namespace entorra::testing
