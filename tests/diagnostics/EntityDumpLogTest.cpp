#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "diagnostics/EntityDumpLog.h"
#include "folders/Platform.h"
#include "io/NativePath.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CRecordingSink;
using testing::CTempDir;
using Args = std::vector<std::string>;

std::string ReadWhole(const std::string& path) {
    std::ifstream input(PathFromUtf8(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
}

struct SwitchCase {
    Args arguments;
    bool on;
};

class DumpSwitchCases : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DumpSwitchCases, OnOnlyForAnArgumentAfterTheProgramThatBeginsWithDashD) {
    EXPECT_EQ(DumpSwitchGiven(GetParam().arguments), GetParam().on);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, DumpSwitchCases,
    ::testing::Values(SwitchCase{{"entorra", "-d"}, true}, SwitchCase{{"entorra", "-dump"}, true},
                      SwitchCase{{"entorra", "/maps/", "-d"}, true},
                      SwitchCase{{"entorra", "-d", "de_dust.bsp"}, true}, SwitchCase{{}, false},
                      SwitchCase{{"entorra"}, false}, SwitchCase{{"entorra", "-D"}, false},
                      SwitchCase{{"entorra", "-Dump"}, false}, SwitchCase{{"-d"}, false},
                      SwitchCase{{"/opt/tools-d/my-dir/entorra", "/home/u/maps/"}, false},
                      SwitchCase{{"entorra", "/home/u/my-dir"}, false},
                      SwitchCase{{"entorra", "maps/-d"}, false},
                      SwitchCase{{"entorra", " -d"}, false},
                      SwitchCase{{"entorra", "--debug"}, false}));

TEST(DumpSwitch, TakesTheArgumentVectorOfMain) {
    const char* on[] = {"/usr/bin/entorra", "-d", nullptr};
    const char* off[] = {"/usr/bin/entorra-d", "my-dir", nullptr};
    EXPECT_TRUE(DumpSwitchGiven(2, on));
    EXPECT_FALSE(DumpSwitchGiven(2, off));
    EXPECT_FALSE(DumpSwitchGiven(0, off));
}

class EntityDumpLog : public ::testing::Test {
protected:
    CTempDir maps;
    CTempDir home;
    CRecordingSink sink;
    const std::string dumpPath = LinuxRules(home.Path().string()).dumpLogPath;
};

// Each shown map's editor text is appended (see the shown map's tests for the loads).
TEST_F(EntityDumpLog, AppendsInOrderAndTheFileHoldsExactlyTheLog) {
    const std::string editorA =
        "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"a\" \"1\"\r\n}\r\n";
    const std::string editorB = "{\r\n\"classname\" \"light\"\r\n}\r\n";

    CEntityDumpLog log(true);
    log.Empty();
    log.Append(editorA);
    log.Append(editorB);
    log.Append(editorA);
    EXPECT_EQ(log.Text(), editorA + editorB + editorA);

    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Written);
    EXPECT_EQ(ReadWhole(dumpPath), editorA + editorB + editorA);
    EXPECT_EQ(sink.messages,
              Args{"A file of all entities read during this session was dumped to:\n" + dumpPath});
    EXPECT_EQ(home.Entries(), Args{"AllEntities.txt"});
}

TEST_F(EntityDumpLog, WithoutTheSwitchNothingIsCollectedOrWritten) {
    CEntityDumpLog log(false);
    log.Append("{\r\n}\r\n");
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Off);
    EXPECT_TRUE(home.Entries().empty());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EntityDumpLog, AnEmptyLogEmptiesTheFileAndStillTellsTheUser) {
    std::ofstream(dumpPath) << "the previous run";
    CEntityDumpLog log(true);
    log.Append("{\r\n}\r\n");
    log.Empty();
    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Written);
    EXPECT_TRUE(std::filesystem::exists(dumpPath));
    EXPECT_EQ(ReadWhole(dumpPath), "");
    EXPECT_EQ(sink.Last(), kDumpedMessage + dumpPath);
}

TEST_F(EntityDumpLog, AFileThatCannotBeCreatedIsSkippedSilently) {
    CEntityDumpLog log(true);
    log.Append("{\r\n}\r\n");
    const std::string nowhere = home.File("missing-folder/AllEntities.txt");
    EXPECT_EQ(log.Write(nowhere, sink), DumpWriteResult::NotOpened);

    std::ofstream(dumpPath) << "kept";
    testing::CFaultyFileSystem refusing;
    refusing.FailAt(testing::FileStep::CreateTemporary);
    EXPECT_EQ(log.Write(dumpPath, sink, refusing), DumpWriteResult::NotOpened);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(ReadWhole(dumpPath), "kept");
    EXPECT_EQ(home.Entries(), Args{"AllEntities.txt"});
}

// Whether the file was there before, and the step of writing it that fails.
class DumpLogWriteFailure
    : public EntityDumpLog,
      public ::testing::WithParamInterface<std::tuple<bool, testing::FileStep>> {};

TEST_P(DumpLogWriteFailure, IsReportedAndLeavesNoPartialFile) {
    const auto [existed, step] = GetParam();
    CEntityDumpLog log(true);
    log.Append(std::string(100000, 'e') + "}\r\n");
    if (existed) {
        std::ofstream(dumpPath) << "kept";
    }
    testing::CFaultyFileSystem failing;
    failing.FailAt(step);
    EXPECT_EQ(log.Write(dumpPath, sink, failing), DumpWriteResult::Failed);
    EXPECT_TRUE(failing.Triggered());
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].rfind("Error writing the file: " + dumpPath + ".\n", 0), 0u)
        << sink.messages[0];
    if (existed) {
        EXPECT_EQ(ReadWhole(dumpPath), "kept");
        EXPECT_EQ(home.Entries(), Args{"AllEntities.txt"});
    } else {
        EXPECT_TRUE(home.Entries().empty());
    }
    // The same log still gets written once the file layer works again.
    sink.messages.clear();
    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Written);
    EXPECT_EQ(ReadWhole(dumpPath), log.Text());
}

INSTANTIATE_TEST_SUITE_P(
    EntityDumpLog, DumpLogWriteFailure,
    ::testing::Combine(::testing::Bool(),
                       ::testing::Values(testing::FileStep::Write, testing::FileStep::Flush,
                                         testing::FileStep::Close, testing::FileStep::Replace)),
    [](const auto& test) {
        return std::string(std::get<0>(test.param) ? "Existing" : "New") +
               testing::TestName(testing::FileStepName(std::get<1>(test.param)));
    });

#if !defined(_WIN32)
// Symbolic links need a privilege on Windows.
TEST_F(EntityDumpLog, ALinkKeepsPointingAtItsFileAndTheMessageNamesThatFile) {
    const std::string target = maps.File("entities.txt");
    std::filesystem::create_symlink(target, dumpPath);
    CEntityDumpLog log(true);
    log.Append("{\r\n}\r\n");
    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Written);
    EXPECT_TRUE(std::filesystem::is_symlink(dumpPath));
    EXPECT_EQ(ReadWhole(target), "{\r\n}\r\n");
    EXPECT_EQ(sink.Last(), kDumpedMessage + target);
}
#endif

TEST(DumpLogPath, WindowsWritesTheDriveRootFileAndElsewhereTheHomeFolder) {
    EXPECT_EQ(WindowsRules().dumpLogPath, "C:\\AllEntities.txt");
    EXPECT_EQ(
        std::string(kDumpedMessage) + WindowsRules().dumpLogPath,
        "A file of all entities read during this session was dumped to:\nC:\\AllEntities.txt");
    EXPECT_EQ(LinuxRules("/home/u").dumpLogPath, "/home/u/AllEntities.txt");
}

#if defined(_WIN32)
// The real file in the root of drive C:, replaced whole through the file layer. A file that
// was there is put back afterwards.
TEST(DumpLogPath, WindowsWritesCAllEntitiesTxt) {
    const std::string path = CurrentPlatformRules().dumpLogPath;
    ASSERT_EQ(path, "C:\\AllEntities.txt");
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code error;
    const bool existed = std::filesystem::exists(file, error);
    const std::string before = existed ? ReadWhole(path) : std::string();

    CRecordingSink sink;
    CEntityDumpLog log(true);
    log.Append("{\r\n\"classname\" \"worldspawn\"\r\n}\r\n");
    log.Append("{\r\n}\r\n");
    const DumpWriteResult result = log.Write(path, sink);
    if (result == DumpWriteResult::NotOpened) {
        GTEST_SKIP() << "no right to create files in C:\\";
    }
    EXPECT_EQ(result, DumpWriteResult::Written);
    EXPECT_EQ(ReadWhole(path), log.Text());
    EXPECT_EQ(sink.messages,
              std::vector<std::string>{"A file of all entities read during this session was "
                                       "dumped to:\nC:\\AllEntities.txt"});

    if (existed) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << before;
    } else {
        std::filesystem::remove(file, error);
    }
}
#endif

}  // namespace
}  // namespace entorra
