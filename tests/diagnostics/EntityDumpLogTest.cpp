#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "diagnostics/EntityDumpLog.h"
#include "folders/Platform.h"
#include "io/NativePath.h"
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

// The real file system with one step made to fail, as a full disk or a refused rename would.
class CFailingFileSystem final : public IFileSystem {
public:
    enum class Step { None, Create, Write, Flush, Close, Replace };
    explicit CFailingFileSystem(Step failing) : m_failing(failing) {}

    std::unique_ptr<IFile> OpenExclusive(const std::string& path) override {
        return m_real.OpenExclusive(path);
    }
    std::unique_ptr<IFile> HoldForReplace(const std::string& path) override {
        return m_real.HoldForReplace(path);
    }
    std::unique_ptr<IFile> CreateTemporaryBeside(const std::string& finalPath,
                                                 std::string& tempPath) override {
        if (m_failing == Step::Create) {
            return nullptr;
        }
        auto inner = m_real.CreateTemporaryBeside(finalPath, tempPath);
        return inner ? std::make_unique<CFile>(std::move(inner), m_failing) : nullptr;
    }
    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        if (m_failing == Step::Replace) {
            throw CFileError("rename: refused", EACCES);
        }
        m_real.Replace(tempPath, finalPath);
    }
    void Remove(const std::string& path) noexcept override { m_real.Remove(path); }
    std::string ResolveLinks(const std::string& path) override { return m_real.ResolveLinks(path); }

private:
    class CFile final : public IFile {
    public:
        CFile(std::unique_ptr<IFile> inner, Step failing)
            : m_inner(std::move(inner)), m_failing(failing) {}
        std::uint64_t Size() override { return m_inner->Size(); }
        std::size_t Read(void* buffer, std::size_t count) override {
            return m_inner->Read(buffer, count);
        }
        void Write(const void* data, std::size_t count) override {
            // Half the bytes reach the disk before it fills up.
            if (m_failing == Step::Write) {
                m_inner->Write(data, count / 2);
                throw CFileError("write: No space left on device", ENOSPC);
            }
            m_inner->Write(data, count);
        }
        void Flush() override {
            if (m_failing == Step::Flush) {
                throw CFileError("fsync: Input/output error", EIO);
            }
            m_inner->Flush();
        }
        void Close() override {
            if (m_failing == Step::Close) {
                throw CFileError("close: Input/output error", EIO);
            }
            m_inner->Close();
        }
        void Abort() noexcept override { m_inner->Abort(); }

    private:
        std::unique_ptr<IFile> m_inner;
        Step m_failing;
    };

    IFileSystem& m_real = RealFileSystem();
    Step m_failing;
};

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
    CFailingFileSystem refusing(CFailingFileSystem::Step::Create);
    EXPECT_EQ(log.Write(dumpPath, sink, refusing), DumpWriteResult::NotOpened);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(ReadWhole(dumpPath), "kept");
    EXPECT_EQ(home.Entries(), Args{"AllEntities.txt"});
}

TEST_F(EntityDumpLog, AFailureWhileWritingIsReportedAndLeavesNoPartialFile) {
    using Step = CFailingFileSystem::Step;
    CEntityDumpLog log(true);
    log.Append(std::string(100000, 'e') + "}\r\n");
    for (const bool existed : {false, true}) {
        for (const Step step : {Step::Write, Step::Flush, Step::Close, Step::Replace}) {
            if (existed) {
                std::ofstream(dumpPath) << "kept";
            }
            sink.messages.clear();
            CFailingFileSystem failing(step);
            EXPECT_EQ(log.Write(dumpPath, sink, failing), DumpWriteResult::Failed);
            ASSERT_EQ(sink.messages.size(), 1u);
            EXPECT_EQ(sink.messages[0].rfind("Error writing the file: " + dumpPath + ".\n", 0), 0u)
                << sink.messages[0];
            if (existed) {
                EXPECT_EQ(ReadWhole(dumpPath), "kept");
                EXPECT_EQ(home.Entries(), Args{"AllEntities.txt"});
            } else {
                EXPECT_TRUE(home.Entries().empty());
            }
        }
    }
    // The same log still gets written once the file layer works again.
    EXPECT_EQ(log.Write(dumpPath, sink), DumpWriteResult::Written);
    EXPECT_EQ(ReadWhole(dumpPath), log.Text());
}

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
