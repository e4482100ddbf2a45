#pragma once

// The entity dump log: with "-d" on the command line, the editor form of every map loaded
// during the run is collected and written to one file when the dialog closes.

#include <string>
#include <string_view>
#include <vector>

#include "base/MessageSink.h"
#include "io/FileSystem.h"

namespace entorra {

inline constexpr const char* kDumpedMessage =
    "A file of all entities read during this session was dumped to:\n";

// On when an argument after the program's own path begins with "-d". The pair anywhere else
// (in the program's path, or inside a folder name such as "my-dir") does not count, and "-D"
// is not the switch.
bool DumpSwitchGiven(const std::vector<std::string>& arguments);
bool DumpSwitchGiven(int argc, const char* const* argv);

enum class DumpWriteResult { Off, Written, NotOpened, Failed };

class CEntityDumpLog {
public:
    explicit CEntityDumpLog(bool switchOn) : m_bSwitchOn(switchOn) {}

    bool IsOn() const { return m_bSwitchOn; }
    const std::string& Text() const { return m_strLog; }

    // Dialog initialisation starts with an empty log.
    void Empty() { m_strLog.clear(); }

    // After a successful load, before the text goes into the editor. Nothing when off.
    void Append(std::string_view editorText);

    // At shut-down, when on: the log replaces the file at path in one step (an empty log gives
    // an empty file) and the message names the file written. A file that cannot be created
    // is skipped silently; a failure after that is reported and leaves no partial file.
    DumpWriteResult Write(const std::string& path, IMessageSink& sink,
                          IFileSystem& fileSystem = RealFileSystem()) const;

private:
    bool m_bSwitchOn;
    std::string m_strLog;
};

}  // namespace entorra
