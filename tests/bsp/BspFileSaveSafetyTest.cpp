// What a save keeps of the map file besides its bytes (owner, group, extended attributes), what
// it refuses to replace (read-only maps, maps with other hard links), what it clears away (its
// own temporary files left by killed saves) and how a failed open or save says why.

#include <fcntl.h>
#include <linux/capability.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "bsp/BspFile.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/OtherProcess.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using testing::CLockHolder;
using testing::CRecordingSink;
using testing::CTempDir;

const std::string kText = "{\n\"classname\" \"worldspawn\"\n}\n";
const std::string kEdited = "{\r\n\"classname\" \"worldspawn\"\r\n\"edited\" \"1\"\r\n}\r\n";

// Users and groups no one on the machine is: only root can hand files to them.
constexpr uid_t kServerUser = 4321;
constexpr gid_t kServerGroup = 4322;
constexpr uid_t kOtherUser = 1234;
constexpr gid_t kOtherGroup = 1235;

struct stat StatusOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

class BspFileSaveSafety : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("m.bsp");
        fixtures::WriteFileBytes(path, fixtures::MakeMap(kText));
        original = fixtures::ReadFileBytes(path);
    }

    // Loads and saves the edited text; the save's result.
    int LoadAndSave() {
        CBspFile file(sink);
        if (file.Load(path) != 0) {
            return -1;
        }
        std::string text = kEdited;
        return file.Save(path, text);
    }

    CTempDir dir;
    CRecordingSink sink;
    std::string path;
    Bytes original;
};

TEST_F(BspFileSaveSafety, ARootSaveKeepsTheMapsOwnerAndGroup) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another user";
    }
    ASSERT_EQ(::chown(path.c_str(), kServerUser, kServerGroup), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(LoadAndSave(), 0) << sink.Last();
    const struct stat status = StatusOf(path);
    EXPECT_EQ(status.st_uid, kServerUser);
    EXPECT_EQ(status.st_gid, kServerGroup);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_NE(fixtures::ReadFileBytes(path), original);
}

TEST_F(BspFileSaveSafety, ASaveThatCannotKeepTheOwnerDropsTheSetIdBits) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as two users";
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(::chown(path.c_str(), kServerUser, kServerGroup), 0);
    ASSERT_EQ(::chmod(path.c_str(), 06777), 0);
    const int result = testing::RunAsUser(kOtherUser, kOtherGroup, [&] { return LoadAndSave(); });
    ASSERT_EQ(result, 0);
    const struct stat status = StatusOf(path);
    EXPECT_EQ(status.st_uid, kOtherUser);
    EXPECT_EQ(status.st_mode & 07777, 0777u);
}

TEST_F(BspFileSaveSafety, ARootThatMayNotGiveFilesAwayLeavesNoSetIdBitsOnItsOwn) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    ASSERT_EQ(::chown(path.c_str(), kServerUser, kServerGroup), 0);
    ASSERT_EQ(::chmod(path.c_str(), 06755), 0);
    // Root without CAP_CHOWN writes files without the kernel dropping set-ID bits, but cannot
    // hand the new file to the map's owner: the file is root's, and must not run as root.
    const int result = testing::RunWithoutCapability(CAP_CHOWN, [&] { return LoadAndSave(); });
    ASSERT_EQ(result, 0);
    const struct stat status = StatusOf(path);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
    EXPECT_NE(fixtures::ReadFileBytes(path), original);
}

TEST_F(BspFileSaveSafety, UserAttributesAndTheAccessListAreKept) {
    const std::string value = "kept by the server";
    if (::setxattr(path.c_str(), "user.entorra.note", value.data(), value.size(), 0) != 0) {
        GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
    }
    // An access list granting one more user read and write: version 2, then tag, permissions
    // and id per entry, in tag order.
    const auto entry = [](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
        std::string bytes(8, '\0');
        std::memcpy(bytes.data(), &tag, 2);
        std::memcpy(bytes.data() + 2, &permissions, 2);
        std::memcpy(bytes.data() + 4, &id, 4);
        return bytes;
    };
    const std::uint32_t version = 2;
    std::string acl(reinterpret_cast<const char*>(&version), 4);
    acl += entry(0x01, 6, 0xFFFFFFFF) + entry(0x02, 6, kServerUser) + entry(0x04, 4, 0xFFFFFFFF) +
           entry(0x10, 6, 0xFFFFFFFF) + entry(0x20, 4, 0xFFFFFFFF);
    const bool withAcl =
        ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;

    ASSERT_EQ(LoadAndSave(), 0) << sink.Last();
    char buffer[256] = {};
    const ssize_t length = ::getxattr(path.c_str(), "user.entorra.note", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(length, 0))), value);
    if (withAcl) {
        const ssize_t aclLength =
            ::getxattr(path.c_str(), "system.posix_acl_access", buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(aclLength, 0))),
                  acl);
    }
}

TEST_F(BspFileSaveSafety, AReadOnlyMapIsNotReplaced) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(LoadAndSave(), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: m.bsp.\nThe map is read-only: you may not write it. Give it "
              "write permission to save it.");
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
    EXPECT_EQ(StatusOf(path).st_mode & 07777, 0444u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});
}

TEST_F(BspFileSaveSafety, AMapWithAnotherHardLinkIsNotSplitFromIt) {
    const std::string other = dir.File("server-copy.bsp");
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    EXPECT_EQ(LoadAndSave(), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: m.bsp.\nThe map has 1 other name (a hard link) that a save "
              "would leave holding the old map. Make the map a file of its own (copy it and "
              "replace it by the copy) to save it.");
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
    EXPECT_EQ(StatusOf(path).st_ino, StatusOf(other).st_ino);
}

TEST_F(BspFileSaveSafety, TheNextSaveRemovesTheTemporaryFilesKilledSavesLeft) {
    const auto make = [&](const std::string& name) {
        fixtures::WriteFileBytes(dir.File(name), Bytes(100, 7));
    };
    make(".m.bsp.entorra-Ab12Cd");  // left by a killed save
    make(".m.bsp.entorra-Zz99Yy");  // a save under way in another process
    make(".m.bsp.entorra-Ab12Cd~");
    make(".m.bsp.bak.entorra-Ab12Cd");  // another file's
    make(".n.bsp.entorra-Ab12Cd");
    make("m.bsp.entorra-Ab12Cd");
    CLockHolder saving(dir.File(".m.bsp.entorra-Zz99Yy"));
    ASSERT_TRUE(saving.Held());

    ASSERT_EQ(LoadAndSave(), 0) << sink.Last();
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{".m.bsp.bak.entorra-Ab12Cd", ".m.bsp.entorra-Ab12Cd~",
                                        ".m.bsp.entorra-Zz99Yy", ".n.bsp.entorra-Ab12Cd", "m.bsp",
                                        "m.bsp.entorra-Ab12Cd"}));
}

TEST_F(BspFileSaveSafety, AFolderTheUserMayNotWriteIsNamedAsTheReason) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const int result = testing::RunAsUser(kOtherUser, kOtherGroup, [&] {
        if (LoadAndSave() != 1) {
            return 1;
        }
        return sink.Last() ==
                       "Error saving the file: m.bsp.\nPermission denied: the folder is not "
                       "writable."
                   ? 0
                   : 2;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
}

// What cannot be opened as a map, and what the message says about it.
struct NotAMap {
    const char* name;
    std::function<std::string(const CTempDir&)> make;  // the path to open
    const char* reason;
};

class OpenWhatIsNotAMap : public ::testing::TestWithParam<NotAMap> {};

TEST_P(OpenWhatIsNotAMap, SaysWhatItIs) {
    CTempDir dir;
    CRecordingSink sink;
    const std::string path = GetParam().make(dir);
    CBspFile file(sink);
    EXPECT_EQ(file.Load(path), 1);
    EXPECT_EQ(sink.Last(), "Error openning the file: " + path + ".\n" + GetParam().reason);
    EXPECT_EQ(ReadMapFile(RealFileSystem(), path).Error().message, sink.Last());
}

INSTANTIATE_TEST_SUITE_P(
    BspFileSaveSafety, OpenWhatIsNotAMap,
    ::testing::Values(NotAMap{"Missing",
                              [](const CTempDir& dir) { return dir.File("missing.bsp"); },
                              "There is no such file."},
                      NotAMap{"Folder", [](const CTempDir& dir) { return dir.Path().string(); },
                              "It is a folder, not a map file."},
                      NotAMap{"NamedPipe",
                              [](const CTempDir& dir) {
                                  const std::string pipe = dir.File("pipe.bsp");
                                  EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
                                  return pipe;
                              },
                              "It is a named pipe (FIFO) or a socket, not a map file."},
                      NotAMap{"Device",
                              [](const CTempDir& dir) {
                                  const std::string link = dir.File("null.bsp");
                                  std::filesystem::create_symlink("/dev/null", link);
                                  return link;
                              },
                              "It is a device, not a map file."}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace entorra
