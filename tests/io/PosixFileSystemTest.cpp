// The operating system's files: why an open fails, new files' permissions from many threads,
// putting a file in place only where nothing is.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "io/FileSystem.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

// Every umask call of this program passes here, so a test can see that the file layer makes
// none: the umask is the whole process's, and setting it to read it races with other threads.
namespace {
std::atomic<int> g_nUmaskCalls{0};
}  // namespace

extern "C" mode_t umask(mode_t mask) noexcept {
    ++g_nUmaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace entorra {
namespace {

using testing::CTempDir;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// The process's umask as the kernel reports it, read without setting it; none where the
// kernel does not say.
std::optional<mode_t> CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return std::nullopt;
}

// Sets the umask for one test and puts the old one back.
class CUmask {
public:
    explicit CUmask(mode_t mask) : m_previous(::umask(mask)) {}
    ~CUmask() { ::umask(m_previous); }
    CUmask(const CUmask&) = delete;
    CUmask& operator=(const CUmask&) = delete;

private:
    mode_t m_previous;
};

class PosixFileSystem : public ::testing::Test {
protected:
    IFileSystem& files = RealFileSystem();
    CTempDir dir;
};

TEST_F(PosixFileSystem, AFailedOpenSaysWhy) {
    const auto missing = files.OpenExclusive(dir.File("missing.bsp"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().code, ENOENT);
    EXPECT_EQ(missing.Error().message.rfind("open: ", 0), 0u) << missing.Error().message;

    const auto folder = files.OpenExclusive(dir.Path().string());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.Error().code, EISDIR);
    EXPECT_FALSE(files.OpenForReading(dir.Path().string()));

    const std::string held = dir.File("held.bsp");
    WriteText(held, "map");
    const auto first = files.OpenExclusive(held);
    ASSERT_TRUE(first);
    const auto second = files.OpenExclusive(held);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.Error().code, EWOULDBLOCK);
    // Reading without a hold is not kept out.
    EXPECT_TRUE(files.OpenForReading(held));
    EXPECT_FALSE(files.HoldForReplace(held));
}

TEST_F(PosixFileSystem, NewFilesFromManyThreadsGetTheUmasksModeAndLeaveTheUmaskAlone) {
    const std::optional<mode_t> before = CurrentUmask();
    if (!before) {
        GTEST_SKIP() << "the kernel does not report the umask";
    }
    const CUmask mask(027);
    std::atomic<bool> creating{true};
    std::atomic<int> umaskChanges{0};
    // Watches for the umask being set to anything else, even for a moment.
    std::thread watcher([&] {
        while (creating) {
            if (CurrentUmask() != mode_t{027}) {
                ++umaskChanges;
            }
        }
    });
    constexpr int kThreads = 8;
    constexpr int kFilesEach = 100;
    std::vector<std::vector<mode_t>> modes(kThreads);
    const int umaskCallsBefore = g_nUmaskCalls;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kFilesEach; ++i) {
                    const std::string target =
                        dir.File("f" + std::to_string(t) + "_" + std::to_string(i));
                    Result<TemporaryFile> created = files.CreateTemporaryBeside(target, target);
                    if (!created) {
                        modes[static_cast<std::size_t>(t)].push_back(07777);
                        continue;
                    }
                    created->file->Close();
                    modes[static_cast<std::size_t>(t)].push_back(ModeOf(created->path));
                    files.Remove(created->path);
                }
            });
        }
    }
    const int umaskCalls = g_nUmaskCalls - umaskCallsBefore;
    creating = false;
    watcher.join();
    for (const auto& threadModes : modes) {
        ASSERT_EQ(threadModes.size(), static_cast<std::size_t>(kFilesEach));
        for (const mode_t mode : threadModes) {
            EXPECT_EQ(mode, 0640u);
        }
    }
    EXPECT_EQ(umaskCalls, 0);
    EXPECT_EQ(umaskChanges, 0);
    EXPECT_EQ(CurrentUmask(), mode_t{027});
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(PosixFileSystem, ANewFileTakesTheExactModeOfItsModel) {
    const CUmask mask(077);
    const std::string model = dir.File("model.bsp");
    WriteText(model, "map");
    ASSERT_EQ(::chmod(model.c_str(), 0664), 0);
    Result<TemporaryFile> created = files.CreateTemporaryBeside(dir.File("model.bsp.bak"), model);
    ASSERT_TRUE(created) << created.Error().message;
    EXPECT_EQ(ModeOf(created->path), 0664u);
    // Beside its final path, hidden, named after it.
    EXPECT_EQ(std::filesystem::path(created->path).parent_path(), dir.Path());
    EXPECT_EQ(std::filesystem::path(created->path).filename().string().rfind(".model.bsp.bak.", 0),
              0u);

    const auto nowhere = files.CreateTemporaryBeside(dir.File("no/such/folder/x"), model);
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.Error().code, ENOENT);
}

TEST_F(PosixFileSystem, PublishingPutsAFileOnlyWhereNothingIs) {
    const std::string target = dir.File("a.bak");
    Result<TemporaryFile> first = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(first);
    first->file->Write("new", 3);
    first->file->Close();
    EXPECT_EQ(files.PublishNew(first->path, target), PublishOutcome::Published);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.bak"});

    Result<TemporaryFile> second = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(second);
    second->file->Write("newer", 5);
    second->file->Close();
    EXPECT_EQ(files.PublishNew(second->path, target), PublishOutcome::Existing);
    EXPECT_EQ(fixtures::ReadFileBytes(target), (fixtures::Bytes{'n', 'e', 'w'}));
    // Left for the caller.
    EXPECT_EQ(files.KindOf(second->path), EntryKind::File);
    files.Remove(second->path);
    EXPECT_EQ(files.KindOf(second->path), EntryKind::None);
}

TEST_F(PosixFileSystem, KindsOfEntries) {
    WriteText(dir.File("file"), "x");
    std::filesystem::create_symlink(dir.File("nowhere"), dir.File("dangling"));
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_EQ(files.KindOf(dir.File("file")), EntryKind::File);
    EXPECT_EQ(files.KindOf(dir.File("dangling")), EntryKind::File);
    EXPECT_EQ(files.KindOf(dir.File("folder")), EntryKind::Other);
    EXPECT_EQ(files.KindOf(dir.File("missing")), EntryKind::None);
}

}  // namespace
}  // namespace entorra
