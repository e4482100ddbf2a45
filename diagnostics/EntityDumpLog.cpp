#include "diagnostics/EntityDumpLog.h"

#include "io/AtomicWrite.h"

namespace entorra {

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
    // A link keeps pointing at its file, as it does for maps.
    const std::string written = fileSystem.ResolveLinks(path);
    Result<CNewFile> created = CNewFile::Create(fileSystem, written, written);
    if (!created) {
        // Nothing could be opened at all: no reason to trouble the user while the program ends.
        return DumpWriteResult::NotOpened;
    }
    try {
        created->File().Write(m_strLog.data(), m_strLog.size());
        created->Replace();
    } catch (const std::exception& error) {
        sink.ShowMessage("Error writing the file: " + written + ".\n" + error.what());
        return DumpWriteResult::Failed;
    }
    sink.ShowMessage(kDumpedMessage + written);
    return DumpWriteResult::Written;
}

}  // namespace entorra
