#include "io/FileRead.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <fstream>
#include <string>
#include <thread>

#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CTempDir;

TEST(ReadTextFile, ReadsAFileWholeWithItsNulBytesAndLineEnds) {
    CTempDir dir;
    const std::string text("{\r\n\"a\" \"b\"\r\n}\n\0tail", 19);
    std::ofstream(dir.File("a.ent"), std::ios::binary) << text;
    const Result<std::string> read = ReadTextFile(RealFileSystem(), dir.File("a.ent"));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, text);

    std::ofstream(dir.File("empty.ent"), std::ios::binary).flush();
    EXPECT_EQ(ReadTextFile(RealFileSystem(), dir.File("empty.ent")).Value(), "");
}

#if !defined(_WIN32)
// Windows has no named pipes in the file system.
TEST(ReadTextFile, ReadsAPipeToItsEnd) {
    CTempDir dir;
    const std::string fifo = dir.File("pipe.ent");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string text(100000, 'e');
    std::jthread writer([&] { testing::FeedPipe(fifo, text); });
    const Result<std::string> read = ReadTextFile(RealFileSystem(), fifo);
    ASSERT_TRUE(read) << read.Error().message;
    EXPECT_EQ(*read, text);
}
#endif

TEST(ReadTextFile, SaysWhyAMissingFileCannotBeRead) {
    CTempDir dir;
    const Result<std::string> missing = ReadTextFile(RealFileSystem(), dir.File("missing.ent"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().code, ENOENT);
#if defined(_WIN32)
    const std::string operation = "CreateFileW: ";
#else
    const std::string operation = "open: ";
#endif
    EXPECT_EQ(missing.Error().message.rfind(operation, 0), 0u) << missing.Error().message;
}

class FailedTextRead : public ::testing::TestWithParam<testing::FileStep> {};

TEST_P(FailedTextRead, GivesTheFailureOfTheStep) {
    CTempDir dir;
    std::ofstream(dir.File("a.ent"), std::ios::binary) << "{\n}\n";
    testing::CFaultyFileSystem faulty;
    faulty.FailAt(GetParam());
    const Result<std::string> failed = ReadTextFile(faulty, dir.File("a.ent"));
    EXPECT_TRUE(faulty.Triggered());
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.Error().code, EIO);
}

INSTANTIATE_TEST_SUITE_P(ReadTextFile, FailedTextRead,
                         ::testing::Values(testing::FileStep::OpenForReading,
                                           testing::FileStep::Read),
                         [](const auto& test) {
                             return testing::TestName(testing::FileStepName(test.param));
                         });

}  // namespace
}  // namespace entorra
