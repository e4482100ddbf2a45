// The Windows file layer: share modes keep other programs out, new files take the attributes
// of their model, publishing never replaces, folders and files are told apart.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "io/FileSystem.h"
#include "io/NativePath.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CTempDir;

constexpr std::chrono::milliseconds kNoWait{0};

std::wstring Wide(const std::string& path) {
    return *WideFromUtf8(path);
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(PathFromUtf8(path), std::ios::binary) << text;
}

// Whether another program could open the file with this access and sharing.
bool OthersCanOpen(const std::string& path, DWORD access, DWORD share) {
    const HANDLE handle = ::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

class WindowsFileSystem : public ::testing::Test {
protected:
    IFileSystem& files = RealFileSystem();
    CTempDir dir;
};

TEST_F(WindowsFileSystem, AFailedOpenSaysWhy) {
    const auto missing = files.OpenLocked(dir.File("missing.bsp"), MapLock::Shared, kNoWait);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().code, ENOENT);
    EXPECT_EQ(missing.Error().message.rfind("CreateFileW: ", 0), 0u) << missing.Error().message;

    const auto folderMap = files.OpenLocked(Utf8FromPath(dir.Path()), MapLock::Shared, kNoWait);
    ASSERT_FALSE(folderMap);
    EXPECT_EQ(folderMap.Error().code, EISDIR);
    const auto folder = files.OpenForReading(Utf8FromPath(dir.Path()));
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.Error().message, "not a file: a folder");

    const std::string held = dir.File("held.bsp");
    WriteText(held, "map");
    const auto first = files.OpenLocked(held, MapLock::Exclusive, kNoWait);
    ASSERT_TRUE(first);
    const auto second = files.OpenLocked(held, MapLock::Shared, kNoWait);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.Error().code, EBUSY);
    // A name that is not UTF-8 names no file.
    const auto invalid = files.OpenLocked("\xFF.bsp", MapLock::Shared, kNoWait);
    ASSERT_FALSE(invalid);
    EXPECT_EQ(invalid.Error().code, EINVAL);
    // A device is no map.
    const auto device = files.OpenLocked("NUL", MapLock::Shared, kNoWait);
    ASSERT_FALSE(device);
    EXPECT_EQ(device.Error().code, ENODEV);
}

TEST_F(WindowsFileSystem, WhileEntorraReadsOthersMayReadButNotWriteAndWhileItSavesNeither) {
    const std::string path = dir.File("m.bsp");
    WriteText(path, "old");
    {
        const auto reading = files.OpenLocked(path, MapLock::Shared, kNoWait);
        ASSERT_TRUE(reading);
        EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ, FILE_SHARE_READ));
        EXPECT_FALSE(OthersCanOpen(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_FALSE(OthersCanOpen(path, GENERIC_READ, 0));
        // An entity file is read without holding it.
        EXPECT_TRUE(files.OpenForReading(path));
    }
    {
        const auto hold = files.OpenLocked(path, MapLock::Exclusive, kNoWait);
        ASSERT_TRUE(hold);
        EXPECT_FALSE(OthersCanOpen(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        Result<TemporaryFile> output = files.CreateTemporaryBeside(path, path);
        ASSERT_TRUE(output) << output.Error().message;
        EXPECT_EQ(output->path.rfind(dir.File(".m.bsp.entorra-"), 0), 0u) << output->path;
        // Nobody reads a copy that is still being written.
        EXPECT_FALSE(OthersCanOpen(output->path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        output->file->Write("new", 3);
        output->file->Flush();
        output->file->Close();
        // The replacement lets go of this process's own hold.
        files.Replace(output->path, path);
        (*hold)->Abort();
    }
    EXPECT_EQ(fixtures::ReadFileBytes(path), (fixtures::Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ | GENERIC_WRITE, 0));
}

TEST_F(WindowsFileSystem, ANewFileTakesTheAttributesOfItsModelButNotReadOnly) {
    const std::string model = dir.File("model.bsp");
    WriteText(model, "x");
    ASSERT_TRUE(
        ::SetFileAttributesW(Wide(model).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    Result<TemporaryFile> created = files.CreateTemporaryBeside(dir.File("model.bsp.bak"), model);
    ASSERT_TRUE(created) << created.Error().message;
    created->file->Write("copy", 4);
    created->file->Close();
    const DWORD attributes = ::GetFileAttributesW(Wide(created->path).c_str());
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    files.Remove(created->path);

    const auto nowhere = files.CreateTemporaryBeside(dir.File("no/such/folder/x"), model);
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.Error().code, ENOENT);
    ::SetFileAttributesW(Wide(model).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsFileSystem, PublishingPutsAFileOnlyWhereNothingIs) {
    // "резерв.bak"
    const std::string target = dir.File("\xD1\x80\xD0\xB5\xD0\xB7\xD0\xB5\xD1\x80\xD0\xB2.bak");
    Result<TemporaryFile> first = files.CreateTemporaryBeside(target, target);
    ASSERT_TRUE(first);
    first->file->Write("new", 3);
    first->file->Close();
    EXPECT_EQ(files.PublishNew(first->path, target), PublishOutcome::Published);
    EXPECT_EQ(dir.Entries(),
              std::vector<std::string>{"\xD1\x80\xD0\xB5\xD0\xB7\xD0\xB5\xD1\x80\xD0\xB2.bak"});

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

TEST_F(WindowsFileSystem, KindsOfEntries) {
    WriteText(dir.File("file"), "x");
    ASSERT_TRUE(::CreateDirectoryW(Wide(dir.File("folder")).c_str(), nullptr));
    EXPECT_EQ(files.KindOf(dir.File("file")), EntryKind::File);
    EXPECT_EQ(files.KindOf(dir.File("FILE")), EntryKind::File);
    EXPECT_EQ(files.KindOf(dir.File("folder")), EntryKind::Other);
    EXPECT_EQ(files.KindOf(dir.File("missing")), EntryKind::None);
}

// Whoever meets a holder waits for it, up to the time given, and then says it is held.
TEST_F(WindowsFileSystem, AnOpenWaitsForAHolderUpToItsTime) {
    const std::string path = dir.File("m.bsp");
    WriteText(path, "map");
    const HANDLE other = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    const auto refused = files.OpenLocked(path, MapLock::Shared, std::chrono::milliseconds(300));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Error().code, EBUSY);

    std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::CloseHandle(other);
    });
    const auto waited = files.OpenLocked(path, MapLock::Exclusive, std::chrono::seconds(5));
    ASSERT_TRUE(waited) << waited.Error().message;
    // Readers share the map with each other, never with a writer.
    EXPECT_FALSE(files.OpenLocked(path, MapLock::Shared, kNoWait));
}

TEST_F(WindowsFileSystem, StatusTellsAWrittenFileAndAReadOnlyOne) {
    const std::string path = dir.File("m.bsp");
    WriteText(path, "map");
    const Result<FileIdentity> before = files.Identify(path);
    ASSERT_TRUE(before) << before.Error().message;
    {
        const auto held = files.OpenLocked(path, MapLock::Shared, kNoWait);
        ASSERT_TRUE(held);
        const FileStatus status = (*held)->Status();
        EXPECT_EQ(status.identity, *before);
        EXPECT_EQ(status.links, 1u);
        EXPECT_EQ(status.writeError, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteText(path, "other");
    const Result<FileIdentity> after = files.Identify(path);
    ASSERT_TRUE(after);
    EXPECT_TRUE(after->SameFileAs(*before));
    EXPECT_FALSE(*after == *before);

    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    const auto readOnly = files.OpenLocked(path, MapLock::Exclusive, kNoWait);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ((*readOnly)->Status().writeError, EACCES);
    (*readOnly)->Close();
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(files.Identify(dir.File("missing.bsp")));
}

// A temporary file a killed save left is removed by the next one; one still being written
// is not, nor is any other file.
TEST_F(WindowsFileSystem, StaleTemporaryFilesAreClearedAndHeldOnesKept) {
    const std::string path = dir.File("m.bsp");
    WriteText(path, "map");
    WriteText(dir.File(".m.bsp.entorra-Ab3xYz"), "left");
    WriteText(dir.File(".m.bsp.entorra-toolong"), "not ours");
    WriteText(dir.File(".n.bsp.entorra-Ab3xYz"), "another map's");
    Result<TemporaryFile> writing = files.CreateTemporaryBeside(path, path);
    ASSERT_TRUE(writing);
    const std::string held = writing->path.substr(writing->path.find_last_of('\\') + 1);
    Result<TemporaryFile> next = files.CreateTemporaryBeside(path, path);
    ASSERT_TRUE(next);
    const std::string fresh = next->path.substr(next->path.find_last_of('\\') + 1);
    std::vector<std::string> expected{".m.bsp.entorra-toolong", ".n.bsp.entorra-Ab3xYz", held,
                                      fresh, "m.bsp"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Entries(), expected);
    writing->file->Abort();
    next->file->Abort();
    files.Remove(writing->path);
    files.Remove(next->path);
}

}  // namespace
}  // namespace entorra
