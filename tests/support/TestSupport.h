#pragma once

// Shared test helpers: a message sink that records, temporary folders, the real sample maps.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/MessageSink.h"

namespace entorra::testing {

class CRecordingSink final : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::string Last() const { return messages.empty() ? std::string() : messages.back(); }
    std::vector<std::string> messages;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path of a file in the folder, in UTF-8 like every path of the program; name may
    // hold "/", which becomes the platform's separator.
    std::string File(const std::string& name) const;
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path m_path;
};

// What the file layer says why a file that is not there cannot be opened: the operation and
// the system's own text, which on Windows depends on its language.
std::string MissingFileReason();

// Runs a program with the arguments (each passed as one, whatever it holds), its stdout and
// stderr written to the files named; its exit status, or -1 when it did not exit normally.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& stdoutPath, const std::string& stderrPath);

// CRC-32 (the zip polynomial), bit by bit: a reference apart from the one the core uses.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// A parameterised case's description as a test name: its words run together, each capitalised,
// everything but letters and digits dropped ("no NUL at all" -> "NoNULAtAll").
std::string TestName(const std::string& description);

#if !defined(_WIN32)
// Writes text into the named pipe at path once a reader has opened it. Gives up after ten
// seconds, so that a test whose reader never comes fails instead of hanging. (Windows has no
// named pipes in the file system.)
void FeedPipe(const std::string& path, const std::string& text);
#endif

// The folder of real maps beside the project, or an empty path when it is not there.
std::filesystem::path SharedMapsFolder();
std::vector<std::filesystem::path> SharedMaps();

}  // namespace entorra::testing
