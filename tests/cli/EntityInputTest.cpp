// Entity files that import, check and diff refuse or take with care: texts without a block,
// files too large for an entity text, pipes nobody writes to, devices, a NUL inside the text.

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <vector>

#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "cli/Sources.h"
#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

using testing::FileState;
using testing::StateOf;

const std::string kNoBlock = "the text holds no block: the map has no world (\"worldspawn\")";

struct NoBlockCase {
    const char* name;
    std::string text;
};

class NoBlock : public testing::CliTest, public ::testing::WithParamInterface<NoBlockCase> {};

// Imported, such a text would leave the map without a worldspawn: the server cannot load it.
TEST_P(NoBlock, IsAnErrorSoImportRefusesItUnlessForced) {
    const std::string map = Map("a.bsp");
    const std::string ent = dir.File("a.ent");
    WriteText(ent, GetParam().text);
    const FileState before = StateOf(map);

    EXPECT_EQ(RunImport(Context(), {map}, "", {}), 1);
    EXPECT_EQ(StateOf(map), before);
    EXPECT_NE(out.str().find(": error: " + kNoBlock + "\n"), std::string::npos) << out.str();
    EXPECT_NE(sink.Last().find(map + " was not changed.\nUse --force to import it anyway."),
              std::string::npos)
        << sink.Last();

    EXPECT_EQ(RunCheck(Context(1, true), {ent}), 1);
    const nlohmann::json checked = Json();
    bool found = false;
    for (const nlohmann::json& finding : checked[0]["findings"]) {
        found = found || (finding["message"] == kNoBlock && finding["severity"] == "error");
    }
    EXPECT_TRUE(found) << checked.dump();
}

INSTANTIATE_TEST_SUITE_P(
    EntityInput, NoBlock,
    ::testing::Values(NoBlockCase{"empty", ""},
                      NoBlockCase{"blank lines and a comment", "\r\n\n// nothing here\n"},
                      NoBlockCase{"a pair outside any block", "\"classname\" \"worldspawn\"\n"}),
    [](const auto& test) { return entorra::testing::TestName(test.param.name); });

class EntityInput : public testing::CliTest {};

TEST_F(EntityInput, AMapWithoutAnyEntityBlockFailsTheCheck) {
    const std::string map = Map("empty.bsp", "");
    EXPECT_EQ(RunCheck(Context(), {map}), 1);
    EXPECT_EQ(out.str(),
              map + ":1:1: error: " + kNoBlock + "\n" + map + ": 1 error(s), 0 warning(s)\n");
}

// Forced, a text with a NUL is written up to the NUL, where the map's text would end anyway,
// and the sizes reported are those of the text the map now holds.
TEST_F(EntityInput, AForcedImportCutsTheTextAtItsNulAndReportsTheSizesWritten) {
    const std::string map = Map("a.bsp");
    const std::string ent = dir.File("a.ent");
    const std::string kept = "{\n\"classname\" \"worldspawn\"\n}\n";
    const std::string text =
        kept + "{\n\"classname\" \"light\"\n" + '\0' + "}\n{\n\"classname\" \"info_target\"\n}\n";
    WriteText(ent, text);

    EXPECT_EQ(RunImport(Context(), {map}, "", {.force = true}), 0);
    EXPECT_NE(out.str().find("  " + ent + ":6:1: the text is cut at its NUL byte (offset 51)\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find(Format("entity text 147 -> %zu bytes, saved", kept.size())),
              std::string::npos)
        << out.str();

    const fixtures::Bytes image = fixtures::ReadFileBytes(map);
    EXPECT_EQ(fixtures::HeaderWord(image, LumpLengthField(LUMP_ENTITIES)),
              static_cast<std::int32_t>(kept.size() + 1));
    CBspFile file(sink);
    ASSERT_EQ(file.Load(map), 0);
    EXPECT_EQ(std::string(file.GetEntityText()), kept);

    WriteText(ent, text);
    EXPECT_EQ(RunImport(Context(1, true), {map}, "", {.force = true}), 0);
    const nlohmann::json report = Json()[0];
    EXPECT_EQ(report["cutAt"], nlohmann::json({{"line", 6}, {"column", 1}, {"offset", 51}}));
    EXPECT_EQ(report["entityBytesAfter"], kept.size());
    EXPECT_EQ(report["entityBytesBefore"], kept.size());
}

enum class BadKind { TooLarge, UnwrittenPipe, Device };
enum class Command { Import, Check, Diff };

struct BadFileCase {
    BadKind kind;
    Command command;
};

std::string ReasonFor(BadKind kind) {
    switch (kind) {
        case BadKind::TooLarge:
            return "larger than 64 MiB, the most an entity file may hold";
        case BadKind::UnwrittenPipe:
            return "a named pipe that no program writes to";
        case BadKind::Device:
            return "not a file: a device";
    }
    return {};
}

std::string BadFileCaseName(const ::testing::TestParamInfo<BadFileCase>& info) {
    static const char* const kKinds[] = {"TooLarge", "UnwrittenPipe", "Device"};
    static const char* const kCommands[] = {"Import", "Check", "Diff"};
    return std::string(kKinds[static_cast<int>(info.param.kind)]) +
           kCommands[static_cast<int>(info.param.command)];
}

class BadEntityFile : public testing::CliTest, public ::testing::WithParamInterface<BadFileCase> {};

// None of them keeps the run waiting or reading without end; each is named for what it is.
TEST_P(BadEntityFile, IsRefusedWithWhatItIs) {
    const std::string map = Map("a.bsp");
    std::string ent = dir.File("bad.ent");
    switch (GetParam().kind) {
        case BadKind::TooLarge:
            // Sparse: nothing of it is on the disk.
            WriteText(ent, "{");
            std::filesystem::resize_file(ent, kMaxEntityFileBytes + 1);
            break;
        case BadKind::UnwrittenPipe:
#if defined(_WIN32)
            GTEST_FAIL() << "no such pipe on Windows";
#else
            ASSERT_EQ(::mkfifo(ent.c_str(), 0600), 0);
#endif
            break;
        case BadKind::Device:
#if defined(_WIN32)
            // A device's name names the device in any folder and with any extension
            // (Windows before 11, and Wine).
            ent = dir.File("nul.ent");
#else
            std::filesystem::create_symlink("/dev/zero", ent);
#endif
            break;
    }
    const FileState before = StateOf(map);
    switch (GetParam().command) {
        case Command::Import:
            EXPECT_EQ(RunImport(Context(), {map}, ent, {}), 1);
            break;
        case Command::Check:
            EXPECT_EQ(RunCheck(Context(), {ent}), 1);
            break;
        case Command::Diff:
            EXPECT_EQ(RunDiff(Context(), map, ent), 1);
            break;
    }
    EXPECT_EQ(sink.Last(),
              "Error reading the entity file: " + ent + ".\n" + ReasonFor(GetParam().kind));
    EXPECT_EQ(StateOf(map), before);
}

// Every command with every kind; Windows has no named pipe in the file system, and one that
// no program serves cannot be opened at all.
std::vector<BadFileCase> BadFileCases() {
    std::vector<BadFileCase> cases;
    for (const BadKind kind : {BadKind::TooLarge, BadKind::UnwrittenPipe, BadKind::Device}) {
#if defined(_WIN32)
        if (kind == BadKind::UnwrittenPipe) {
            continue;
        }
#endif
        for (const Command command : {Command::Import, Command::Check, Command::Diff}) {
            cases.push_back({kind, command});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EntityInput, BadEntityFile, ::testing::ValuesIn(BadFileCases()),
                         BadFileCaseName);

}  // namespace
}  // namespace entorra::cli
