// Files put in place whole: replacing one, or publishing one only where nothing is.

#include "io/AtomicWrite.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "io/NativePath.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using testing::CFaultyFileSystem;
using testing::CTempDir;
using testing::FileStep;

const Bytes kOld = {'o', 'l', 'd'};
const Bytes kNew = {'n', 'e', 'w', '!'};

#if defined(_WIN32)
// What stands for permissions on Windows: the attributes a file hands on.
unsigned long HiddenBit(const std::string& path) {
    return ::GetFileAttributesW(PathFromUtf8(path).c_str()) & FILE_ATTRIBUTE_HIDDEN;
}
#else
mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}
#endif

TEST(WriteNewFile, WritesAFileWithTheModelsPermissions) {
    CTempDir dir;
    const std::string map = dir.File("a.bsp");
    fixtures::WriteFileBytes(map, kOld);
#if defined(_WIN32)
    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(map).c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
    ASSERT_EQ(::chmod(map.c_str(), 0604), 0);
#endif
    EXPECT_EQ(WriteNewFile(RealFileSystem(), map + ".bak", kNew.data(), kNew.size(), map),
              PublishOutcome::Published);
    EXPECT_EQ(fixtures::ReadFileBytes(map + ".bak"), kNew);
#if defined(_WIN32)
    EXPECT_EQ(HiddenBit(map + ".bak"), static_cast<unsigned long>(FILE_ATTRIBUTE_HIDDEN));
#else
    EXPECT_EQ(ModeOf(map + ".bak"), 0604u);
#endif
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bsp", "a.bsp.bak"}));
}

TEST(WriteNewFile, KeepsWhatIsThereWithoutWritingAByte) {
    CTempDir dir;
    const std::string path = dir.File("a.bak");
    fixtures::WriteFileBytes(path, kOld);
    CFaultyFileSystem watched;
    watched.FailAt(FileStep::CreateTemporary);
    EXPECT_EQ(WriteNewFile(watched, path, kNew.data(), kNew.size(), path),
              PublishOutcome::Existing);
    EXPECT_FALSE(watched.Triggered());
    EXPECT_EQ(fixtures::ReadFileBytes(path), kOld);

    std::filesystem::create_directory(dir.File("folder.bak"));
    try {
        (void)WriteNewFile(RealFileSystem(), dir.File("folder.bak"), kNew.data(), kNew.size(),
                           path);
        ADD_FAILURE() << "a folder in the way was taken for a backup";
    } catch (const CFileError& error) {
        EXPECT_EQ(error.ErrorCode(), EEXIST);
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bak", "folder.bak"}));
}

// A failure at any step of either way of putting a file in place; Replace stands for the last
// step of each, the replace or the publish.
class FileInPlace : public ::testing::TestWithParam<FileStep> {
protected:
    CTempDir dir;
    CFaultyFileSystem faulty;
};

TEST_P(FileInPlace, AFailedReplaceLeavesTheOldFileAndNoTemporary) {
    const std::string path = dir.File("a.ent");
    fixtures::WriteFileBytes(path, kOld);
    faulty.FailAt(GetParam() == FileStep::Publish ? FileStep::Replace : GetParam());
    EXPECT_THROW(WriteFileAtomically(faulty, path, kNew.data(), kNew.size()), CFileError);
    EXPECT_TRUE(faulty.Triggered());
    EXPECT_EQ(fixtures::ReadFileBytes(path), kOld);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.ent"});
}

TEST_P(FileInPlace, AFailedPublishLeavesNothing) {
    const std::string path = dir.File("a.bak");
    faulty.FailAt(GetParam() == FileStep::Replace ? FileStep::Publish : GetParam());
    EXPECT_THROW((void)WriteNewFile(faulty, path, kNew.data(), kNew.size(), path), CFileError);
    EXPECT_TRUE(faulty.Triggered());
    EXPECT_TRUE(dir.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, FileInPlace,
                         ::testing::Values(FileStep::CreateTemporary, FileStep::Write,
                                           FileStep::Flush, FileStep::Close, FileStep::Replace),
                         [](const auto& test) {
                             return testing::TestName(testing::FileStepName(test.param));
                         });

}  // namespace
}  // namespace entorra
