// The map file object over the Windows file layer: share modes keep other programs out, the
// atomic save keeps the map's attributes, names outside ASCII work.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bsp/BspFile.h"
#include "io/NativePath.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using fixtures::Bytes;
using testing::CRecordingSink;
using testing::CTempDir;

std::wstring Wide(const std::string& path) {
    return *WideFromUtf8(path);
}

// Another program's handle on a file, with the access and sharing it asked for.
class CForeignHandle {
public:
    CForeignHandle(const std::string& path, DWORD access, DWORD share)
        : m_hFile(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~CForeignHandle() {
        if (m_hFile != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_hFile);
        }
    }
    CForeignHandle(const CForeignHandle&) = delete;
    CForeignHandle& operator=(const CForeignHandle&) = delete;
    bool Open() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFile;
};

class WindowsFile : public ::testing::Test {
protected:
    void SetUp() override {
        original = fixtures::MakeMap(fixtures::MakeEntityText(5));
        path = dir.File("m.bsp");
        fixtures::WriteFileBytes(path, original);
    }

    CTempDir dir;
    CRecordingSink sink;
    Bytes original;
    std::string path;
};

struct ForeignHold {
    std::string description;
    DWORD access;
    DWORD share;
    bool loads;
};

class HeldByAnotherProgram : public WindowsFile,
                             public ::testing::WithParamInterface<ForeignHold> {};

// A map that another program writes, or holds without sharing, is not loaded; one it only
// reads, sharing reading, is. It is saved only while no other program has it open.
TEST_P(HeldByAnotherProgram, LoadsOnlyWhatOthersMerelyReadAndSavesNothingTheyHold) {
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    {
        CForeignHandle holder(path, GetParam().access, GetParam().share);
        ASSERT_TRUE(holder.Open());
        std::string text = "{\r\n}\r\n";
        EXPECT_EQ(file.Save(path, text), 1);
        EXPECT_EQ(sink.Last(),
                  "Error saving the file: m.bsp.\nAnother program holds the map; save again once "
                  "it has let go of it.");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});

        EXPECT_EQ(file.Load(path), GetParam().loads ? 0 : 1);
        if (!GetParam().loads) {
            EXPECT_EQ(sink.Last(), "Error openning the file: " + path +
                                       ".\nMake sure it isn't opened in another program.");
        }
    }
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(path, text), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ShareModes, HeldByAnotherProgram,
    ::testing::Values(ForeignHold{"read write without sharing", GENERIC_READ | GENERIC_WRITE, 0,
                                  false},
                      ForeignHold{"read without sharing", GENERIC_READ, 0, false},
                      ForeignHold{"write sharing everything", GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
                      ForeignHold{"read sharing reading", GENERIC_READ, FILE_SHARE_READ, true},
                      ForeignHold{"read sharing everything", GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true}),
    [](const auto& test) { return testing::TestName(test.param.description); });

TEST_F(WindowsFile, ASaveKeepsTheMapsAttributes) {
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), attributes));
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n\"classname\" \"light\"\r\n}\r\n";
    ASSERT_EQ(file.Save(path, text), 0) << sink.Last();
    EXPECT_EQ(::GetFileAttributesW(Wide(path).c_str()) & attributes, attributes);
    ASSERT_EQ(file.Load(path), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n\"classname\" \"light\"\n}\n");
}

// Windows does not replace a read-only file: the save fails and leaves it whole.
TEST_F(WindowsFile, AReadOnlyMapIsLoadedButNotSaved) {
    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    CBspFile file(sink);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(path, text), 1);
    EXPECT_EQ(sink.Last(),
              "Error saving the file: m.bsp.\nThe map is read-only: you may not write it. Give it "
              "write permission to save it.");
    EXPECT_EQ(fixtures::ReadFileBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"m.bsp"});
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsFile, AFolderInTheMapsPlaceIsNeitherLoadedNorReplaced) {
    const std::string folder = dir.File("folder.bsp");
    ASSERT_TRUE(::CreateDirectoryW(Wide(folder).c_str(), nullptr));
    CBspFile file(sink);
    EXPECT_EQ(file.Load(folder), 1);
    ASSERT_EQ(file.Load(path), 0);
    std::string text = "{\r\n}\r\n";
    EXPECT_EQ(file.Save(folder, text), 1);
    EXPECT_EQ(::GetFileAttributesW(Wide(folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.bsp", "m.bsp"}));
}

TEST_F(WindowsFile, MapsWithNamesOutsideAsciiAreLoadedAndSaved) {
    // "карта été 地图.bsp"
    const std::string name =
        "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0 \xC3\xA9t\xC3\xA9 \xE5\x9C\xB0\xE5\x9B\xBE.bsp";
    const std::string unicodePath = dir.File(name);
    fixtures::WriteFileBytes(unicodePath, original);
    ASSERT_NE(::GetFileAttributesW(Wide(unicodePath).c_str()), INVALID_FILE_ATTRIBUTES);

    CBspFile file(sink);
    ASSERT_EQ(file.Load(unicodePath), 0) << sink.Last();
    std::string text = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
    ASSERT_EQ(file.Save(unicodePath, text), 0);
    EXPECT_EQ(sink.Last(), "The file:  " + name + "\nwas saved!");
    ASSERT_EQ(file.Load(unicodePath), 0);
    EXPECT_STREQ(file.GetEntityText(), "{\n\"classname\" \"worldspawn\"\n}\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.bsp", name}));

    // Text that is not UTF-8 names no file.
    EXPECT_EQ(file.Load(dir.File("\xFF.bsp")), 1);
}

}  // namespace
}  // namespace entorra
