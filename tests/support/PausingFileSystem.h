#pragma once

// Decorates the real file system with pauses where another program's work can come in between,
// and a shorter wait for holds, so that tests of programs working side by side see them
// overlap every time. Set up before the threads start; safe to use from many threads after.

#include <chrono>
#include <string>

#include "io/FileSystem.h"

namespace entorra::testing {

class CPausingFileSystem final : public IFileSystem {
public:
    explicit CPausingFileSystem(IFileSystem& inner = RealFileSystem()) : m_inner(inner) {}

    // Each read of a map file waits this long first, while its hold is kept.
    void PauseWhileReading(std::chrono::milliseconds pause) { m_readPause = pause; }
    // Each new file (a save's) waits this long before it is made: after the map was loaded and
    // before anything of the save is written.
    void PauseBeforeWriting(std::chrono::milliseconds pause) { m_writePause = pause; }
    // Opens of maps wait at most this long for another's hold, whatever they ask.
    void LimitLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                              std::chrono::milliseconds wait) override;
    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override {
        return m_inner.OpenForReading(path);
    }
    Result<FileIdentity> Identify(const std::string& path) override {
        return m_inner.Identify(path);
    }
    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override;
    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        m_inner.Replace(tempPath, finalPath);
    }
    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override {
        return m_inner.PublishNew(tempPath, finalPath);
    }
    EntryKind KindOf(const std::string& path) override { return m_inner.KindOf(path); }
    void Remove(const std::string& path) noexcept override { m_inner.Remove(path); }
    std::string ResolveLinks(const std::string& path) override {
        return m_inner.ResolveLinks(path);
    }

private:
    IFileSystem& m_inner;
    std::chrono::milliseconds m_readPause{0};
    std::chrono::milliseconds m_writePause{0};
    std::chrono::milliseconds m_lockWait{-1};
};

}  // namespace entorra::testing
