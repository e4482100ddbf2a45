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
#include "io/TemporaryName.h"
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

// What a path names instead of a file, and the error number an open of a map gives for it.
struct NotAFile {
    const char* name;
    std::string (*make)(const CTempDir& dir);
    int code;
};

class OpenLockedRefuses : public PosixFileSystem, public ::testing::WithParamInterface<NotAFile> {};

TEST_P(OpenLockedRefuses, WhatIsNotAFileWithoutOpeningIt) {
    const std::string path = GetParam().make(dir);
    // A pipe without a writer would keep an open waiting: it is never opened.
    const auto opened = files.OpenLocked(path, MapLock::Shared, kLockWait);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.Error().code, GetParam().code) << opened.Error().message;
}

INSTANTIATE_TEST_SUITE_P(
    PosixFileSystem, OpenLockedRefuses,
    ::testing::Values(
        NotAFile{"Missing", [](const CTempDir& dir) { return dir.File("missing.bsp"); }, ENOENT},
        NotAFile{"Folder", [](const CTempDir& dir) { return dir.Path().string(); }, EISDIR},
        NotAFile{"NamedPipe",
                 [](const CTempDir& dir) {
                     const std::string pipe = dir.File("pipe.bsp");
                     EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
                     return pipe;
                 },
                 ESPIPE},
        NotAFile{"Device", [](const CTempDir&) { return std::string("/dev/null"); }, ENODEV},
        NotAFile{"InAFile",
                 [](const CTempDir& dir) {
                     WriteText(dir.File("file"), "x");
                     return dir.File("file/map.bsp");
                 },
                 ENOTDIR}),
    [](const auto& test) { return std::string(test.param.name); });

// Two holds of one map, one after the other: whether the second is granted while the first
// is held.
struct TwoHolds {
    MapLock first;
    MapLock second;
    bool granted;
};

class MapHolds : public PosixFileSystem, public ::testing::WithParamInterface<TwoHolds> {};

TEST_P(MapHolds, ReadersShareAndAWriterIsAlone) {
    const std::string map = dir.File("held.bsp");
    WriteText(map, "map");
    const auto first = files.OpenLocked(map, GetParam().first, kLockWait);
    ASSERT_TRUE(first);
    const auto second = files.OpenLocked(map, GetParam().second, std::chrono::milliseconds(0));
    EXPECT_EQ(second.Ok(), GetParam().granted);
    if (!second) {
        EXPECT_EQ(second.Error().code, EBUSY);
    }
    // Reading without a hold is never kept out.
    EXPECT_TRUE(files.OpenForReading(map));
}

INSTANTIATE_TEST_SUITE_P(PosixFileSystem, MapHolds,
                         ::testing::Values(TwoHolds{MapLock::Shared, MapLock::Shared, true},
                                           TwoHolds{MapLock::Shared, MapLock::Exclusive, false},
                                           TwoHolds{MapLock::Exclusive, MapLock::Shared, false},
                                           TwoHolds{MapLock::Exclusive, MapLock::Exclusive, false}),
                         [](const auto& test) {
                             const auto name = [](MapLock lock) {
                                 return lock == MapLock::Shared ? "Shared" : "Exclusive";
                             };
                             return std::string(name(test.param.first)) + "Then" +
                                    name(test.param.second);
                         });

TEST_F(PosixFileSystem, AnOpenWaitingForAWriterOpensTheMapTheWriterPutInPlace) {
    const std::string map = dir.File("m.bsp");
    WriteText(map, "old");
    auto writer = files.OpenLocked(map, MapLock::Exclusive, kLockWait);
    ASSERT_TRUE(writer);
    std::string read;
    std::jthread reader([&] {
        auto opened = files.OpenLocked(map, MapLock::Shared, std::chrono::seconds(10));
        if (opened) {
            read.resize(static_cast<std::size_t>((*opened)->Size()));
            read.resize((*opened)->Read(read.data(), read.size()));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WriteText(dir.File("new"), "newer");
    ASSERT_EQ(::rename(dir.File("new").c_str(), map.c_str()), 0);
    (*writer)->Abort();
    reader.join();
    EXPECT_EQ(read, "newer");
}

TEST_F(PosixFileSystem, TheStatusSaysWhoMayWriteAFileAndHowManyNamesItHas) {
    const std::string map = dir.File("m.bsp");
    WriteText(map, "map");
    auto opened = files.OpenLocked(map, MapLock::Shared, kLockWait);
    ASSERT_TRUE(opened);
    FileStatus status = (*opened)->Status();
    EXPECT_EQ(status.links, 1u);
    EXPECT_EQ(status.writeError, 0);
    EXPECT_EQ(status.identity.size, 3u);
    EXPECT_EQ(status.identity, *files.Identify(map));

    ASSERT_EQ(::link(map.c_str(), dir.File("other.bsp").c_str()), 0);
    // Write permission for nobody is read-only, for root too.
    ASSERT_EQ(::chmod(map.c_str(), 0444), 0);
    status = (*opened)->Status();
    EXPECT_EQ(status.links, 2u);
    EXPECT_EQ(status.writeError, EACCES);
    EXPECT_FALSE(files.Identify(dir.File("missing")));
}

TEST_F(PosixFileSystem, AWriteInPlaceChangesTheIdentityButNotTheFile) {
    const std::string map = dir.File("m.bsp");
    WriteText(map, "abc");
    const FileIdentity before = *files.Identify(map);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteText(map, "xyz");
    const FileIdentity after = *files.Identify(map);
    EXPECT_TRUE(after.SameFileAs(before));
    EXPECT_NE(after, before);
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
    EXPECT_TRUE(IsTemporaryNameOf(std::filesystem::path(created->path).filename().string(),
                                  "model.bsp.bak"));

    const auto nowhere = files.CreateTemporaryBeside(dir.File("no/such/folder/x"), model);
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.Error().code, ENOENT);
}

TEST_F(PosixFileSystem, ATemporaryFileIsRemovedAsStaleOnlyOnceItsWriterLetsGo) {
    const std::string target = dir.File("m.bsp");
    Result<TemporaryFile> writing = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(writing);
    Result<TemporaryFile> next = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(next);
    EXPECT_EQ(files.KindOf(writing->path), EntryKind::File);
    // As a killed writer would: it lets go without putting its file in place.
    writing->file->Close();
    next->file->Close();
    Result<TemporaryFile> last = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(last);
    EXPECT_EQ(files.KindOf(writing->path), EntryKind::None);
    EXPECT_EQ(files.KindOf(next->path), EntryKind::None);
    EXPECT_EQ(files.KindOf(last->path), EntryKind::File);
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
