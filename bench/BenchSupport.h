#pragma once

// What every benchmark program here needs: a folder for its files, a message sink and an
// output stream that swallow what the commands say.

#include <cstdlib>
#include <filesystem>
#include <streambuf>
#include <string>

#include "base/MessageSink.h"

namespace entorra::bench {

class CSilentSink final : public IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

class CNullBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// ENTORRA_BENCH_DIR, or entorra-bench in the temporary folder; with a name, that folder in it.
inline std::filesystem::path BenchFolder(const std::string& name = {}) {
    const char* configured = std::getenv("ENTORRA_BENCH_DIR");
    auto folder = configured != nullptr ? std::filesystem::path(configured)
                                        : std::filesystem::temp_directory_path() / "entorra-bench";
    if (!name.empty()) {
        folder /= name;
    }
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace entorra::bench
