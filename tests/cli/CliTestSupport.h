#pragma once

// A folder of generated maps and a command context whose output the test reads.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "base/Format.h"
#include "cli/Batch.h"
#include "cli/Commands.h"
#include "io/FileIdentity.h"
#include "io/NativePath.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra::cli::testing {

inline const std::string kEntities =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"classname\" \"info_player_deathmatch\"\n}\n";

// What a file is, as far as "nothing was written" is concerned: its bytes and its times.
struct FileState {
    fixtures::Bytes bytes;
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileState&, const FileState&) = default;
};

inline FileState StateOf(const std::string& path) {
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(PathFromUtf8(path), error);
    const std::optional<FileId> identity = IdentifyFile(path);
    if (error || !identity) {
        return {};
    }
    return {
        fixtures::ReadFileBytes(path),
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count(),
        identity->file};
}

class CliTest : public ::testing::Test {
protected:
    std::string Map(const std::string& name, const std::string& entities = kEntities) {
        const std::string path = dir.File(name);
        std::filesystem::create_directories(PathFromUtf8(path).parent_path());
        fixtures::WriteFileBytes(path, fixtures::MakeMap(entities));
        return path;
    }

    void WriteText(const std::string& path, const std::string& text) {
        fixtures::WriteFileBytes(path, fixtures::Bytes(text.begin(), text.end()));
    }

    CommandContext Context(unsigned jobs = 1, bool json = false) {
        out.str("");
        CommandContext context{out, sink};
        context.jobs = jobs;
        context.json = json;
        return context;
    }

    CommandContext Context(IFileSystem& fileSystem, unsigned jobs = 1, bool json = false) {
        out.str("");
        CommandContext context{out, sink, fileSystem};
        context.jobs = jobs;
        context.json = json;
        return context;
    }

    nlohmann::json Json() const { return nlohmann::json::parse(out.str()); }

    entorra::testing::CTempDir dir;
    entorra::testing::CRecordingSink sink;
    std::ostringstream out;
};

}  // namespace entorra::cli::testing
