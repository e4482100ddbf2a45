#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "bsp/BspFile.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/FaultyFileSystem.h"
#if !defined(_WIN32)
#include "tests/support/OtherProcess.h"
#endif
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using testing::CFaultyFileSystem;
using testing::CRecordingSink;
using testing::CTempDir;
using testing::FileStep;

class BspFileFaults : public ::testing::Test {
protected:
    void SetUp() override {
        original = fixtures::MakeMap(fixtures::MakeEntityText(30));
        path = dir.File("m.bsp");
        fixtures::WriteFileBytes(path, original);
    }

    CTempDir dir;
    CRecordingSink sink;
    CFaultyFileSystem fileSystem;
    Bytes original;
    std::string path;
};

// A step of a save that fails, with the error number it fails with (0: the step's usual one),
// and the line that follows "Error saving the file: m.bsp.".
struct SaveFault {
    FileStep step;
    int occurrence;
    int code;
    const char* reason;
};

class SaveFaults : public BspFileFaults, public ::testing::WithParamInterface<SaveFault> {};

TEST_P(SaveFaults, LeaveTheMapAsItWasSayWhyAndKeepTheMapLoadedForAnotherTry) {
    CBspFile file(sink, fileSystem);
    ASSERT_EQ(file.Load(path), 0);
    const SaveFault& fault = GetParam();
    fileSystem.FailAt(fault.step, fault.occurrence, fault.code);
    std::string text = MakeEditorText(fixtures::MakeEntityText(3));
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_TRUE(fileSystem.Triggered());
    EXPECT_EQ(sink.Last(), std::string("Error saving the file: m.bsp.\n") + fault.reason);
    EXPECT_FALSE(file.ChangedOnDisk());
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});

    // The map is still the one on disk: another try writes it.
    EXPECT_NE(file.GetEntityText(), nullptr);
    std::string again = MakeEditorText(fixtures::MakeEntityText(3));
    ASSERT_EQ(file.Save(path, again), 0) << sink.Last();
    CBspFile reloaded(sink);
    ASSERT_EQ(reloaded.Load(path), 0);
    EXPECT_EQ(std::string(reloaded.GetEntityText()), again);
}

#if defined(_WIN32)
// Windows knows no quotas among its errno values.
constexpr int kQuotaError = ENOSPC;
const char* const kQuotaMessage =
    "No space left on device: free some space on the disk and save again.";
#else
constexpr int kQuotaError = EDQUOT;
const char* const kQuotaMessage =
    "Disk quota exceeded: free some space on the disk and save again.";
#endif

INSTANTIATE_TEST_SUITE_P(
    BspFileFaults, SaveFaults,
    ::testing::Values(
        // The new file goes out in several writes; the last one is the fifth.
        SaveFault{FileStep::Open, 1, 0,
                  "Another program holds the map; save again once it has let go of it."},
        SaveFault{FileStep::CreateTemporary, 1, 0,
                  "No space left on device: free some space on the disk and save again."},
        SaveFault{FileStep::CreateTemporary, 1, EACCES,
                  "Permission denied: the folder is not writable."},
        SaveFault{FileStep::CreateTemporary, 1, EROFS,
                  "Read-only file system: the disk of the map is mounted read-only."},
        SaveFault{FileStep::Write, 1, 0,
                  "No space left on device: free some space on the disk and save again."},
        SaveFault{FileStep::Write, 3, kQuotaError, kQuotaMessage},
        SaveFault{FileStep::Write, 5, EIO,
                  "Input/output error: the disk may be failing; check it before saving again."},
        SaveFault{FileStep::Flush, 1, 0,
                  "Input/output error: the disk may be failing; check it before saving again."},
        SaveFault{FileStep::Close, 1, 0,
                  "Input/output error: the disk may be failing; check it before saving again."},
        SaveFault{FileStep::Replace, 1, 0, "Invalid cross-device link."},
        SaveFault{FileStep::Replace, 1, EACCES, "Permission denied: the folder is not writable."},
        SaveFault{FileStep::Size, 1, 0,
                  "Input/output error: the disk may be failing; check it before saving again."}),
    [](const auto& test) {
        return testing::TestName(std::string(testing::FileStepName(test.param.step)) + " " +
                                 std::to_string(test.param.occurrence) + " " +
                                 (test.param.code == 0 ? "usual" : std::strerror(test.param.code)));
    });

TEST_F(BspFileFaults, AFailureAtAnyStepOfLoadReportsAndLeavesNothingLoaded) {
    struct LoadFault {
        FileStep step;
        std::string message;
    };
    const std::vector<LoadFault> faults = {
        {FileStep::Open,
         "Error openning the file: " + path + ".\nMake sure it isn't opened in another program."},
        {FileStep::Size, "Error reading the size of the file : " + path + "."},
        {FileStep::Read, "Error openning the file: " + path + ".\n"},
        {FileStep::Close, "Error openning the file: " + path + ".\n"},
    };
    for (const LoadFault& fault : faults) {
        SCOPED_TRACE(testing::FileStepName(fault.step));
        CBspFile file(sink, fileSystem);
        ASSERT_EQ(file.Load(path), 0);
        fileSystem.FailAt(fault.step);
        EXPECT_EQ(file.Load(path), 1);
        EXPECT_TRUE(fileSystem.Triggered());
        EXPECT_EQ(sink.Last(), fault.message);
        EXPECT_EQ(file.GetEntityText(), nullptr);
    }
}

#if !defined(_WIN32)
// Windows: WindowsFileTest holds the map through share modes.
TEST_F(BspFileFaults, AMapHeldByAnotherWriterIsNeitherLoadedNorSaved) {
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    {
        testing::CLockHolder holder(path);
        ASSERT_TRUE(holder.Held());
        std::string text = "{\r\n}\r\n";
        EXPECT_EQ(file.Save(path, text), 1);
        EXPECT_EQ(sink.Last(),
                  "Error saving the file: m.bsp.\nAnother program holds the map; save again once "
                  "it has let go of it.");
        EXPECT_EQ(fixtures::ReadFileBytes(path), original);

        EXPECT_EQ(file.Load(path), 1);
        EXPECT_EQ(sink.Last(), "Error openning the file: " + path +
                                   ".\nMake sure it isn't opened in another program.");
    }
    EXPECT_EQ(file.Load(path), 0);
}
#endif

}  // namespace
}  // namespace entorra
