#include "diagnostics/EntityDumpLog.h"

#include <memory>

#include "io/AtomicWrite.h"

namespace entorra {
namespace {

// Notes whether the temporary file came into being: before that, the file could not be
// opened at all, which is no reason to trouble the user while the program ends.
class CCreationWatch final : public IFileSystem {
public:
    explicit CCreationWatch(IFileSystem& inner) : m_inner(inner) {}

    bool Created() const { return m_bCreated; }

    std::unique_ptr<IFile> OpenExclusive(const std::string& path) override {
        return m_inner.OpenExclusive(path);
    }
    std::unique_ptr<IFile> HoldForReplace(const std::string& path) override {
        return m_inner.HoldForReplace(path);
    }
    std::unique_ptr<IFile> CreateTemporaryBeside(const std::string& finalPath,
                                                 std::string& tempPath) override {
        std::unique_ptr<IFile> file = m_inner.CreateTemporaryBeside(finalPath, tempPath);
        m_bCreated = file != nullptr;
        return file;
    }
    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        m_inner.Replace(tempPath, finalPath);
    }
    void Remove(const std::string& path) noexcept override { m_inner.Remove(path); }
    std::string ResolveLinks(const std::string& path) override {
        return m_inner.ResolveLinks(path);
    }

private:
    IFileSystem& m_inner;
    bool m_bCreated = false;
};

}  // namespace

bool DumpSwitchGiven(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].rfind("-d", 0) == 0) {
            return true;
        }
    }
    return false;
}

bool DumpSwitchGiven(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return DumpSwitchGiven(arguments);
}

void CEntityDumpLog::Append(std::string_view editorText) {
    if (m_bSwitchOn) {
        m_strLog.append(editorText);
    }
}

DumpWriteResult CEntityDumpLog::Write(const std::string& path, IMessageSink& sink,
                                      IFileSystem& fileSystem) const {
    if (!m_bSwitchOn) {
        return DumpWriteResult::Off;
    }
    CCreationWatch watch(fileSystem);
    std::string written;
    try {
        // A link keeps pointing at its file, as it does for maps.
        written = watch.ResolveLinks(path);
        WriteFileAtomically(watch, written, m_strLog.data(), m_strLog.size());
    } catch (const std::exception& error) {
        if (!watch.Created()) {
            return DumpWriteResult::NotOpened;
        }
        sink.ShowMessage("Error writing the file: " + written + ".\n" + error.what());
        return DumpWriteResult::Failed;
    }
    sink.ShowMessage(kDumpedMessage + written);
    return DumpWriteResult::Written;
}

}  // namespace entorra
