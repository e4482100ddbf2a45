// Other programs at the map: readers beside readers, a reader meeting a writer, a save over a
// map that changed on disk since it was loaded, and saves killed at any moment.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "bsp/BspFile.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/OtherProcess.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using testing::CLockHolder;
using testing::CRecordingSink;
using testing::CTempDir;
using testing::HeldAs;

const std::string kOriginal = "{\n\"classname\" \"worldspawn\"\n}\n";
const std::string kTheirs = "{\n\"classname\" \"worldspawn\"\n\"message\" \"theirs\"\n}\n";
const std::string kOurs = "{\r\n\"classname\" \"worldspawn\"\r\n\"message\" \"ours\"\r\n}\r\n";

std::string EntityTextOf(const std::string& path) {
    CRecordingSink quiet;
    CBspFile file(quiet);
    return file.Load(path) == 0 ? std::string(file.GetEntityText()) : "(" + quiet.Last() + ")";
}

class BspFileSharing : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("m.bsp");
        fixtures::WriteFileBytes(path, fixtures::MakeMap(kOriginal));
    }

    CTempDir dir;
    CRecordingSink sink;
    std::string path;
};

TEST_F(BspFileSharing, ReadersDoNotKeepEachOtherOut) {
    CLockHolder reader(path, HeldAs::Reader);
    ASSERT_TRUE(reader.Held());
    CBspFile file(sink);
    EXPECT_EQ(file.Load(path), 0) << sink.Last();
    EXPECT_EQ(ReadMapFile(RealFileSystem(), path).Ok(), true);
}

TEST_F(BspFileSharing, AReaderWaitsForAWriterThatLetsGoSoon) {
    CLockHolder writer(path, HeldAs::Writer);
    ASSERT_TRUE(writer.Held());
    std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        writer.Release();
    });
    CBspFile file(sink);
    EXPECT_EQ(file.Load(path), 0) << sink.Last();
}

// How the map changes on disk between the load and the save.
struct ChangeOnDisk {
    const char* name;
    std::function<void(const std::string& path)> change;
};

void WriteInPlace(const std::string& path, const Bytes& bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::write(descriptor, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(descriptor);
}

class SaveAfterAChangeOnDisk : public BspFileSharing,
                               public ::testing::WithParamInterface<ChangeOnDisk> {};

TEST_P(SaveAfterAChangeOnDisk, IsRefusedAndTheirMapStays) {
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    // Past the clock's granularity, as any edit by hand is.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    GetParam().change(path);
    const Bytes theirs = fixtures::ReadFileBytes(path);

    std::string text = kOurs;
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: m.bsp.\nThe map was changed on disk since it was loaded: "
              "saving now would undo that change.");
    EXPECT_EQ(fixtures::ReadFileBytes(path), theirs);
    // Still refused: the edits are not written over their map by a second try either.
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_EQ(fixtures::ReadFileBytes(path), theirs);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});
}

INSTANTIATE_TEST_SUITE_P(
    BspFileSharing, SaveAfterAChangeOnDisk,
    ::testing::Values(
        ChangeOnDisk{"SavedByAnotherEntorra",
                     [](const std::string& path) {
                         CRecordingSink quiet;
                         CBspFile other(quiet);
                         ASSERT_EQ(other.Load(path), 0);
                         std::string text = MakeEditorText(kTheirs);
                         ASSERT_EQ(other.Save(path, text), 0);
                     }},
        ChangeOnDisk{
            "CopiedOverInPlace",
            [](const std::string& path) { WriteInPlace(path, fixtures::MakeMap(kTheirs)); }},
        // cp -p of a map of the same size: same file, same size, the old modification time.
        ChangeOnDisk{"CopiedOverWithTheSameSizeAndTime",
                     [](const std::string& path) {
                         struct stat before {};
                         ASSERT_EQ(::stat(path.c_str(), &before), 0);
                         std::string same = kOriginal;
                         same.replace(same.find("worldspawn"), 10, "worldspavn");
                         WriteInPlace(path, fixtures::MakeMap(same));
                         const timespec times[2] = {before.st_atim, before.st_mtim};
                         ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
                     }},
        ChangeOnDisk{"ReplacedByRenaming",
                     [](const std::string& path) {
                         const std::string newer = path + ".new";
                         fixtures::WriteFileBytes(newer, fixtures::MakeMap(kTheirs));
                         ASSERT_EQ(::rename(newer.c_str(), path.c_str()), 0);
                     }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(BspFileSharing, TwoShownCopiesOfOneMapCannotBothSave) {
    CRecordingSink otherSink;
    CBspFile mine(sink);
    CBspFile theirs(otherSink);
    ASSERT_EQ(mine.Load(path), 0);
    ASSERT_EQ(theirs.Load(path), 0);
    std::string theirText = MakeEditorText(kTheirs);
    ASSERT_EQ(theirs.Save(path, theirText), 0);
    std::string myText = kOurs;
    EXPECT_EQ(mine.Save(path, myText), 1);
    EXPECT_EQ(EntityTextOf(path), kTheirs);
    // The one that saved keeps the file it wrote as its own and may save again.
    std::string again = MakeEditorText(kTheirs + "{\n}\n");
    EXPECT_EQ(theirs.Save(path, again), 0);
}

TEST_F(BspFileSharing, AMapRemovedSinceItWasLoadedIsWrittenAnew) {
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    std::filesystem::remove(path);
    std::string text = kOurs;
    EXPECT_EQ(file.Save(path, text), 0) << sink.Last();
    EXPECT_EQ(EntityTextOf(path), "{\n\"classname\" \"worldspawn\"\n\"message\" \"ours\"\n}\n");
}

// Saves killed at random moments, as a crash or a kill -9 would end them: the map is always a
// whole map, old or new, and the next save clears what the killed ones left behind.
TEST(KilledSaves, LeaveAWholeMapAndTheNextSaveLeavesNoTemporaryFile) {
    constexpr int kKills = 100;
    CTempDir dir;
    const std::string path = dir.File("k.bsp");
    // Big enough that a kill often lands in the middle of writing it.
    const std::string textA = fixtures::MakeEntityText(6000);
    const std::string textB = fixtures::MakeEntityText(6500);
    const Bytes original = fixtures::MakeMap(textA);
    fixtures::WriteFileBytes(path, original);
    // Every whole map a kill may leave, byte for byte: the original and what each save makes
    // of the one before, the texts taken in either order.
    std::set<Bytes> whole{original};
    for (const auto& order : {std::array{textB, textA, textB}, std::array{textA, textB, textA}}) {
        CTempDir scratch;
        const std::string copy = scratch.File("k.bsp");
        fixtures::WriteFileBytes(copy, original);
        for (const std::string& text : order) {
            CRecordingSink sink;
            CBspFile file(sink);
            ASSERT_EQ(file.Load(copy), 0) << sink.Last();
            std::string edited = MakeEditorText(text);
            ASSERT_EQ(file.Save(copy, edited), 0) << sink.Last();
            whole.insert(fixtures::ReadFileBytes(copy));
        }
    }

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    int torn = 0;
    int killedWithTemporaries = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CRecordingSink quiet;
            CBspFile file(quiet);
            for (int round = 0;; ++round) {
                if (file.Load(path) != 0) {
                    ::_exit(3);
                }
                std::string text = MakeEditorText(round % 2 == 0 ? textB : textA);
                file.Save(path, text);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;
        if (!whole.contains(fixtures::ReadFileBytes(path))) {
            ++torn;
        }
        killedWithTemporaries += dir.Entries().size() > 1 ? 1 : 0;
    }
    EXPECT_EQ(torn, 0);

    CRecordingSink sink;
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = MakeEditorText(textA);
    ASSERT_EQ(file.Save(path, text), 0) << sink.Last();
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"k.bsp"})
        << killedWithTemporaries << " of " << kKills << " kills left temporary files";
    RecordProperty("killsLeavingTemporaries", killedWithTemporaries);
}

}  // namespace
}  // namespace entorra
