#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "bsp/BspFile.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/FaultyFileSystem.h"
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

TEST_F(BspFileFaults, AFailureAtAnyStepOfSaveLeavesTheMapAsItWas) {
    // The new file goes out in several writes; the last one is the fifth.
    const std::vector<std::pair<FileStep, int>> steps = {
        {FileStep::Hold, 1},  {FileStep::CreateTemporary, 1}, {FileStep::Write, 1},
        {FileStep::Write, 3}, {FileStep::Write, 5},           {FileStep::Flush, 1},
        {FileStep::Close, 1}, {FileStep::Replace, 1}};
    for (const auto& [step, occurrence] : steps) {
        SCOPED_TRACE(std::string(testing::FileStepName(step)) + " " + std::to_string(occurrence));
        CBspFile file(sink, fileSystem);
        ASSERT_EQ(file.Load(path), 0);
        fileSystem.FailAt(step, occurrence);
        std::string text = MakeEditorText(fixtures::MakeEntityText(3));
        EXPECT_EQ(file.Save(path, text), 1);
        EXPECT_TRUE(fileSystem.Triggered());
        EXPECT_EQ(sink.Last(), "Error saving the file: m.bsp.");
        EXPECT_EQ(fixtures::ReadFileBytes(path), original);
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});
        EXPECT_EQ(file.GetEntityText(), nullptr);
        std::string again = "{\r\n}\r\n";
        EXPECT_EQ(file.Save(path, again), 2);
    }
}

TEST_F(BspFileFaults, AFailureAtAnyStepOfLoadReportsAndLeavesNothingLoaded) {
    struct LoadFault {
        FileStep step;
        std::string message;
    };
    const std::vector<LoadFault> faults = {
        {FileStep::OpenExclusive,
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
// Another process holds the map, as a running server or a second Entorra would. Windows has
// its own test of share modes.
class CLockHolder {
public:
    explicit CLockHolder(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_release) != 0) {
            throw std::runtime_error("pipe");
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(m_release[1]);
            const int descriptor = ::open(path.c_str(), O_RDONLY);
            const char ok = (descriptor >= 0 && ::flock(descriptor, LOCK_EX) == 0) ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char wait = 0;
            (void)!::read(m_release[0], &wait, 1);
            ::_exit(0);
        }
        ::close(m_release[0]);
        char ok = 0;
        (void)!::read(ready[0], &ok, 1);
        ::close(ready[0]);
        ::close(ready[1]);
        m_bHeld = ok == 'y';
    }
    ~CLockHolder() {
        ::close(m_release[1]);
        int status = 0;
        ::waitpid(m_child, &status, 0);
    }
    bool Held() const { return m_bHeld; }

private:
    int m_release[2] = {-1, -1};
    pid_t m_child = -1;
    bool m_bHeld = false;
};

TEST_F(BspFileFaults, AMapHeldByAnotherProcessIsNeitherLoadedNorSaved) {
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    {
        CLockHolder holder(path);
        ASSERT_TRUE(holder.Held());
        std::string text = "{\r\n}\r\n";
        EXPECT_EQ(file.Save(path, text), 1);
        EXPECT_EQ(sink.Last(), "Error saving the file: m.bsp.");
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
