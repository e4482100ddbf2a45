// import and delete-all: dry runs, backups, the checksum, lint refusals, failures while writing.

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <thread>
#include <utility>

#include "bsp/BspFile.h"
#include "bsp/MapInfo.h"
#include "cli/Json.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/FaultyFileSystem.h"

namespace entorra::cli {
namespace {

using testing::FileState;
using testing::StateOf;

const std::string kEdited = "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n}\n";

std::string ChecksumOfFile(const std::string& path) {
    entorra::testing::CRecordingSink quiet;
    CBspFile file(quiet);
    EXPECT_EQ(file.Load(path), 0);
    return ChecksumText(MapChecksum(file.Image()).value());
}

class WriteCommands : public testing::CliTest {};

TEST_F(WriteCommands, DryRunWritesNothingAndReportsTheChecksumAfter) {
    const std::string a = Map("a.bsp");
    WriteText(dir.File("a.ent"), kEdited);
    const FileState before = StateOf(a);
    const std::string checksum = ChecksumOfFile(a);

    const WriteOptions dry{.dryRun = true, .backup = true};
    EXPECT_EQ(RunImport(Context(1, true), {a}, "", dry), 0);
    nlohmann::json map = Json()[0];
    EXPECT_EQ(map["written"], false);
    EXPECT_EQ(map["checksumBefore"], checksum);
    EXPECT_EQ(map["checksumAfter"], checksum);
    EXPECT_EQ(map["entityBytesAfter"], kEdited.size());
    EXPECT_TRUE(map["backup"].is_null());

    EXPECT_EQ(RunDeleteAll(Context(1, true), "info_player", {a}, dry), 0);
    map = Json()[0];
    EXPECT_EQ(map["deleted"], 3);
    EXPECT_EQ(map["written"], false);
    EXPECT_EQ(map["checksumAfter"], checksum);

    EXPECT_EQ(StateOf(a), before);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bsp", "a.ent"}));
}

TEST_F(WriteCommands, SavesKeepTheChecksumAndSayItBeforeAndAfter) {
    const std::string a = Map("a.bsp");
    WriteText(dir.File("a.ent"), kEdited);
    const std::string checksum = ChecksumOfFile(a);

    EXPECT_EQ(RunImport(Context(), {a}, "", {}), 0);
    EXPECT_EQ(out.str(), dir.File("a.ent") + " -> " + a + "\n  checksum " + checksum + " -> " +
                             checksum + ", entity text 147 -> 53 bytes, saved\n");
    EXPECT_EQ(ChecksumOfFile(a), checksum);
    CBspFile file(sink);
    ASSERT_EQ(file.Load(a), 0);
    EXPECT_EQ(std::string(file.GetEntityText()), kEdited);

    EXPECT_EQ(RunDeleteAll(Context(1, true), "light", {a}, {}), 0);
    const nlohmann::json map = Json()[0];
    EXPECT_EQ(map["written"], true);
    EXPECT_EQ(map["checksumBefore"], checksum);
    EXPECT_EQ(map["checksumAfter"], checksum);
    EXPECT_EQ(ChecksumOfFile(a), checksum);
}

TEST_F(WriteCommands, BackupIsMadeOnceAndNeverOverwritten) {
    const std::string a = Map("a.bsp");
    const fixtures::Bytes original = fixtures::ReadFileBytes(a);
    const std::string backup = a + ".bak";

    // Nothing deleted: no change, no backup.
    EXPECT_EQ(RunDeleteAll(Context(), "armoury_entity", {a}, {.backup = true}), 0);
    EXPECT_FALSE(std::filesystem::exists(backup));

    EXPECT_EQ(RunDeleteAll(Context(1, true), "info_player_start", {a}, {.backup = true}), 0);
    EXPECT_EQ(Json()[0]["backup"], backup);
    EXPECT_EQ(Json()[0]["backupCreated"], true);
    EXPECT_EQ(fixtures::ReadFileBytes(backup), original);
    EXPECT_NE(fixtures::ReadFileBytes(a), original);

    EXPECT_EQ(RunDeleteAll(Context(), "info_player_deathmatch", {a}, {.backup = true}), 0);
    EXPECT_NE(out.str().find("backup " + backup + " kept as it was, saved"), std::string::npos);
    EXPECT_EQ(fixtures::ReadFileBytes(backup), original);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bsp", "a.bsp.bak"}));
}

TEST_F(WriteCommands, ImportRefusesAnEntityFileWithErrorsUnlessForced) {
    const std::string a = Map("a.bsp");
    const std::string broken = "{\n\"classname\" \"worldspawn\"\n}\n{\n\"origin\" \"0 0 0\n}\n";
    WriteText(dir.File("a.ent"), broken);
    const FileState before = StateOf(a);

    EXPECT_EQ(RunImport(Context(), {a}, "", {}), 1);
    EXPECT_EQ(StateOf(a), before);
    EXPECT_NE(out.str().find(dir.File("a.ent") + ":5:10: error: unterminated quote"),
              std::string::npos);
    EXPECT_EQ(sink.Last(), "The entity file " + dir.File("a.ent") + " has 2 error(s); " + a +
                               " was not changed.\nUse --force to import it anyway.");

    EXPECT_EQ(RunImport(Context(1, true), {a}, "", {.force = true}), 0);
    EXPECT_EQ(Json()[0]["findings"].size(), 2u);
    EXPECT_EQ(Json()[0]["findings"][0]["line"], 4);
    EXPECT_NE(StateOf(a), before);
}

TEST_F(WriteCommands, ImportTakesItsEntityFilesFromBesideAFileOrAFolder) {
    const std::string a = Map("maps/a.bsp");
    const std::string b = Map("maps/b.bsp");
    std::filesystem::create_directories(dir.File("ents"));
    WriteText(dir.File("ents/a.ent"), kEdited);
    WriteText(dir.File("maps/b.ent"), kEdited);

    EXPECT_EQ(SplitImportOperands({a, dir.File("ents/a.ent")}).entityFile, dir.File("ents/a.ent"));
    EXPECT_EQ(SplitImportOperands({a, b}).maps.size(), 2u);
    EXPECT_EQ(SplitImportOperands({a, dir.File("ents")}).entityFile, "");

    // From the folder: a has its file there, b not; b fails, a is still done.
    EXPECT_EQ(RunImport(Context(2), {dir.File("maps")}, dir.File("ents"), {}), 1);
    EXPECT_EQ(sink.Last(), "Error reading the entity file: " + dir.File("ents/b.ent") + ".\n" +
                               entorra::testing::MissingFileReason());
    CBspFile file(sink);
    ASSERT_EQ(file.Load(a), 0);
    EXPECT_EQ(std::string(file.GetEntityText()), kEdited);

    EXPECT_EQ(RunImport(Context(), {b}, "", {}), 0);
    EXPECT_EQ(RunImport(Context(), {a, b}, dir.File("ents/a.ent"), {}), 2);
}

// The step of making the backup that fails, and its occurrence in the run (the map itself stays
// open from its load to its save, so the backup's is the first close).
class FailedBackup
    : public testing::CliTest,
      public ::testing::WithParamInterface<std::pair<entorra::testing::FileStep, int>> {};

TEST_P(FailedBackup, LeavesTheMapAsItWasAndTheNextMapIsStillDone) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp");
    const FileState before = StateOf(a);
    entorra::testing::CFaultyFileSystem faulty;
    faulty.FailAt(GetParam().first, GetParam().second);
    const CommandContext context = Context(faulty);
    EXPECT_EQ(RunDeleteAll(context, "info_player_start", {a, b}, {.backup = true}), 1);
    EXPECT_TRUE(faulty.Triggered());
    EXPECT_EQ(StateOf(a), before);
    ASSERT_FALSE(sink.messages.empty());
    EXPECT_NE(sink.messages.front().find("Error writing the backup: " + a + ".bak."),
              std::string::npos)
        << sink.messages.front();
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bsp", "b.bsp", "b.bsp.bak"}));
}

INSTANTIATE_TEST_SUITE_P(
    WriteCommands, FailedBackup,
    ::testing::Values(std::pair(entorra::testing::FileStep::CreateTemporary, 1),
                      std::pair(entorra::testing::FileStep::Write, 1),
                      std::pair(entorra::testing::FileStep::Flush, 1),
                      std::pair(entorra::testing::FileStep::Close, 1),
                      std::pair(entorra::testing::FileStep::Publish, 1)),
    [](const auto& test) {
        return entorra::testing::TestName(entorra::testing::FileStepName(test.param.first));
    });

#if defined(_WIN32)
TEST_F(WriteCommands, ABackupHasTheMapsAttributes) {
    const std::string a = Map("a.bsp");
    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(a).c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(RunDeleteAll(Context(), "info_player_start", {a}, {.backup = true}), 0);
    EXPECT_NE(::GetFileAttributesW(PathFromUtf8(a + ".bak").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    // The map keeps its own through the save.
    EXPECT_NE(::GetFileAttributesW(PathFromUtf8(a).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}
#else
TEST_F(WriteCommands, ABackupHasTheMapsPermissions) {
    const std::string a = Map("a.bsp");
    ASSERT_EQ(::chmod(a.c_str(), 0604), 0);
    EXPECT_EQ(RunDeleteAll(Context(), "info_player_start", {a}, {.backup = true}), 0);
    struct stat status {};
    ASSERT_EQ(::stat((a + ".bak").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
}
#endif

class UnreadEntityFile : public testing::CliTest,
                         public ::testing::WithParamInterface<entorra::testing::FileStep> {};

TEST_P(UnreadEntityFile, IsReportedAndTheMapKept) {
    const std::string a = Map("a.bsp");
    WriteText(dir.File("a.ent"), kEdited);
    const FileState before = StateOf(a);
    entorra::testing::CFaultyFileSystem faulty;
    faulty.FailAt(GetParam());
    EXPECT_EQ(RunImport(Context(faulty), {a}, "", {}), 1);
    EXPECT_TRUE(faulty.Triggered());
    EXPECT_EQ(sink.Last(), "Error reading the entity file: " + dir.File("a.ent") + ".\n" +
                               (GetParam() == entorra::testing::FileStep::Read ? "read" : "open") +
                               ": injected");
    EXPECT_EQ(StateOf(a), before);
}

INSTANTIATE_TEST_SUITE_P(WriteCommands, UnreadEntityFile,
                         ::testing::Values(entorra::testing::FileStep::OpenForReading,
                                           entorra::testing::FileStep::Read),
                         [](const auto& test) {
                             return entorra::testing::TestName(
                                 entorra::testing::FileStepName(test.param));
                         });

#if !defined(_WIN32)
// Windows has no named pipes in the file system.
TEST_F(WriteCommands, AnEntityFileMayBeAPipe) {
    const std::string a = Map("a.bsp");
    const std::string pipe = dir.File("edit.ent");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::jthread writer([&] { entorra::testing::FeedPipe(pipe, kEdited); });
    EXPECT_EQ(RunImport(Context(), {a}, pipe, {}), 0);
    CBspFile file(sink);
    ASSERT_EQ(file.Load(a), 0);
    EXPECT_EQ(std::string(file.GetEntityText()), kEdited);
}
#endif

TEST_F(WriteCommands, AFailedSaveLeavesTheMapAsItWasAndTheNextMapIsStillDone) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp");
    const FileState before = StateOf(a);
    entorra::testing::CFaultyFileSystem faulty;
    faulty.FailAt(entorra::testing::FileStep::Replace);
    const CommandContext context = Context(faulty, 1, true);
    EXPECT_EQ(RunDeleteAll(context, "info_player_start", {a, b}, {}), 1);
    EXPECT_EQ(StateOf(a), before);
    const nlohmann::json maps = Json();
    EXPECT_EQ(maps[0]["ok"], false);
    EXPECT_EQ(maps[0]["message"], "Error saving the file: a.bsp.\nInvalid cross-device link.");
    EXPECT_EQ(maps[1]["written"], true);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bsp", "b.bsp"}));
}

TEST_F(WriteCommands, ExportWritesEachTextAndReportsWhatItCannotWrite) {
    const std::string a = Map("a.bsp");
    const std::string b = Map("b.bsp", kEdited);
    std::filesystem::create_directories(dir.File("a.ent"));  // in the way of a's entity file

    EXPECT_EQ(RunExport(Context(2), {a, b}, ""), 1);
    EXPECT_EQ(out.str(), b + " -> " + dir.File("b.ent") + "\n");
    EXPECT_NE(sink.Last().find("Error writing the file: " + dir.File("a.ent") + "."),
              std::string::npos);
    EXPECT_EQ(fixtures::ReadFileBytes(dir.File("b.ent")),
              fixtures::Bytes(kEdited.begin(), kEdited.end()));

    // Two maps of one name into one folder: the second does not overwrite the first's file.
    Map("x/b.bsp");
    std::filesystem::create_directories(dir.File("out"));
    EXPECT_EQ(RunExport(Context(), {b, dir.File("x/b.bsp")}, dir.File("out")), 1);
    EXPECT_EQ(fixtures::ReadFileBytes(dir.File("out/b.ent")),
              fixtures::Bytes(kEdited.begin(), kEdited.end()));
}

}  // namespace
}  // namespace entorra::cli
