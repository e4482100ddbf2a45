// The registry store against the real registry of this user (under Wine, the prefix's), and
// folder discovery through it. The values the tests touch are put back as they were.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "folders/MapFolder.h"
#include "folders/MapList.h"
#include "folders/Platform.h"
#include "folders/RegistrySettingsStore.h"
#include "io/NativePath.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CRecordingSink;

constexpr const wchar_t* kOwnKey = L"Software\\Quorvale\\Entorra\\Settings";
constexpr const wchar_t* kCounterStrike = L"Software\\Valve\\CounterStrike";
constexpr const wchar_t* kHalfLife = L"Software\\Valve\\Half-life";
constexpr const wchar_t* kSteam = L"Software\\Valve\\Steam";

std::wstring Wide(const std::string& utf8) {
    return *WideFromUtf8(utf8);
}

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

std::optional<RawValue> ReadRaw(const wchar_t* key, const wchar_t* name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value{type, std::vector<BYTE>(size)};
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     value.bytes.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    return value;
}

void WriteRaw(const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
              std::size_t size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data, static_cast<DWORD>(size)),
              ERROR_SUCCESS);
}

// A REG_SZ value of the text, with or without its terminating NUL.
void WriteString(const wchar_t* key, const std::string& utf8, bool withNul = true) {
    const std::wstring text = Wide(utf8);
    WriteRaw(key, L"InstallPath", REG_SZ, text.c_str(),
             (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
}

bool KeyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

// Takes a value away for a test and puts it back afterwards.
class CSavedValue {
public:
    CSavedValue(const wchar_t* key, const wchar_t* name)
        : m_key(key), m_name(name), m_saved(ReadRaw(key, name)) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
    }
    ~CSavedValue() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key, m_name);
        if (m_saved) {
            RegSetKeyValueW(HKEY_CURRENT_USER, m_key, m_name, m_saved->type, m_saved->bytes.data(),
                            static_cast<DWORD>(m_saved->bytes.size()));
        }
    }
    CSavedValue(const CSavedValue&) = delete;
    CSavedValue& operator=(const CSavedValue&) = delete;

private:
    const wchar_t* m_key;
    const wchar_t* m_name;
    std::optional<RawValue> m_saved;
};

class Registry : public ::testing::Test {
protected:
    FoundMapFolder Find() { return FindMapFolder(store, sink, WindowsRules()); }

    CSavedValue own{kOwnKey, L"InstallPath"};
    CSavedValue counterStrike{kCounterStrike, L"InstallPath"};
    CSavedValue halfLife{kHalfLife, L"InstallPath"};
    CSavedValue steam{kSteam, L"SteamPath"};
    CRegistrySettingsStore store;
    CRecordingSink sink;
};

TEST_F(Registry, TheFolderStoredAtCloseIsAWideStringWithItsNulAndIsFoundAtTheNextStart) {
    // "D:\Jeux\Карты été\cstrike\maps\"
    const std::string folder =
        "D:\\Jeux\\\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD1\x8B \xC3\xA9t\xC3\xA9\\cstrike\\maps\\";
    StoreMapFolder(store, folder);

    const std::optional<RawValue> raw = ReadRaw(kOwnKey, L"InstallPath");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    const std::wstring wide = Wide(folder);
    ASSERT_EQ(raw->bytes.size(), (wide.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(raw->bytes.data()), wide.size() + 1),
              std::wstring(wide.c_str(), wide.size() + 1));

    const FoundMapFolder found = Find();
    EXPECT_EQ(found.source, MapFolderSource::OwnSetting);
    EXPECT_EQ(found.folder, folder);
    EXPECT_TRUE(sink.messages.empty());
}

struct ValueLength {
    std::string description;
    std::string text;
    bool read;
};

class RegistryValueLength : public Registry, public ::testing::WithParamInterface<ValueLength> {};

// The 260-character value buffer: 259 characters and the NUL fit, one more does not. Characters
// outside ASCII count once each, as Windows counts MAX_PATH.
TEST_P(RegistryValueLength, OwnValueIsReadOnlyWhenItFitsTheValueBuffer) {
    WriteString(kOwnKey, GetParam().text);
    WriteString(kCounterStrike, "C:\\Games\\CS");
    const FoundMapFolder found = Find();
    if (GetParam().read) {
        EXPECT_EQ(found.source, MapFolderSource::OwnSetting);
        EXPECT_EQ(found.folder, GetParam().text);
        EXPECT_TRUE(sink.messages.empty());
    } else {
        EXPECT_EQ(found.source, MapFolderSource::CounterStrike);
        EXPECT_EQ(sink.messages, std::vector<std::string>{kFirstRunWarning});
    }
}

std::string Repeated(const std::string& piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    WindowsRules, RegistryValueLength,
    ::testing::Values(ValueLength{"259 ASCII characters", std::string(259, 'w'), true},
                      ValueLength{"260 ASCII characters", std::string(260, 'w'), false},
                      ValueLength{"259 accented characters", Repeated("\xC3\xA9", 259), true},
                      ValueLength{"260 accented characters", Repeated("\xC3\xA9", 260), false},
                      ValueLength{"an empty string", "", true}),
    [](const auto& test) { return testing::TestName(test.param.description); });

TEST_F(Registry, AValueStoredWithoutItsNulReadsAsTheSameText) {
    WriteString(kOwnKey, "C:\\maps\\", false);
    EXPECT_EQ(Find().folder, "C:\\maps\\");
    WriteString(kOwnKey, "C:\\maps\\", true);
    EXPECT_EQ(Find().folder, "C:\\maps\\");
}

TEST_F(Registry, TheTypeIsNotExaminedAndTheTextEndsAtTheFirstNul) {
    const char bytes[] = "C:\\bin\\\0rest";
    WriteRaw(kOwnKey, L"InstallPath", REG_BINARY, bytes, sizeof(bytes) - 1);
    EXPECT_EQ(Find().folder, "C:\\bin\\");
}

TEST_F(Registry, GameKeysDecideInTurnWhenTheOwnValueIsAbsent) {
    EXPECT_EQ(Find().folder, "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\");
    EXPECT_EQ(Find().source, MapFolderSource::Default);
    WriteString(kHalfLife, "C:\\Sierra\\Half-Life");
    EXPECT_EQ(Find().folder, "C:\\Sierra\\Half-Life\\cstrike\\maps\\");
    EXPECT_EQ(Find().source, MapFolderSource::HalfLife);
    // With a trailing backslash the doubled one stays.
    WriteString(kCounterStrike, "C:\\Games\\CS\\");
    EXPECT_EQ(Find().folder, "C:\\Games\\CS\\\\cstrike\\maps\\");
    EXPECT_EQ(Find().source, MapFolderSource::CounterStrike);
    // Every start without the own value warns.
    EXPECT_EQ(sink.messages, std::vector<std::string>(6, kFirstRunWarning));
}

TEST_F(Registry, KeyPathsAndValueNamesMatchWithoutRegardToCase) {
    WriteRaw(L"SOFTWARE\\QUORVALE\\ENTORRA\\SETTINGS", L"INSTALLPATH", REG_SZ, L"C:\\m\\",
             6 * sizeof(wchar_t));
    EXPECT_EQ(store.ReadValue(SettingsRoot::CurrentUser, "software\\quorvale\\entorra\\settings",
                              "installpath"),
              std::string("C:\\m\\\0", 6));
}

TEST_F(Registry, ReadingAMissingKeyDoesNotCreateItAndStoringCreatesTheWholePath) {
    const wchar_t* missing = L"Software\\Quorvale\\Entorra\\NoSuchKey\\Deeper";
    EXPECT_EQ(store.ReadValue(SettingsRoot::CurrentUser,
                              "Software\\Quorvale\\Entorra\\NoSuchKey\\"
                              "Deeper",
                              "InstallPath"),
              std::nullopt);
    EXPECT_FALSE(KeyExists(missing));
    EXPECT_FALSE(store.SetStringValue(SettingsRoot::CurrentUser,
                                      "Software\\Quorvale\\Entorra\\NoSuchKey\\Deeper", "V", "x"));

    ASSERT_TRUE(store.CreateKey(SettingsRoot::CurrentUser,
                                "Software\\Quorvale\\Entorra\\NoSuchKey\\Deeper"));
    EXPECT_TRUE(KeyExists(missing));
    EXPECT_TRUE(store.SetStringValue(SettingsRoot::CurrentUser,
                                     "Software\\Quorvale\\Entorra\\NoSuchKey\\Deeper", "V", "x"));
    EXPECT_EQ(store.ReadValue(SettingsRoot::CurrentUser,
                              "Software\\Quorvale\\Entorra\\NoSuchKey\\Deeper", "V"),
              std::string("x\0", 2));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvale\\Entorra\\NoSuchKey");
}

// The fixed default on drive C: listed by the Windows rules, letters of any case and names
// outside ASCII included.
TEST_F(Registry, TheDefaultFolderOnDriveCIsListed) {
    const std::string folder = Find().folder;
    ASSERT_EQ(folder, "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\");
    const std::filesystem::path path = PathFromUtf8(folder);
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        GTEST_SKIP() << "a real game folder is there; it is not touched";
    }
    // Only what the test creates is removed again.
    std::filesystem::path created = path.parent_path();
    while (!std::filesystem::exists(created.parent_path(), error)) {
        created = created.parent_path();
    }
    std::filesystem::create_directories(path);
    const std::vector<std::string> names{"AIM_MAP.BSP", "de_dust2.bsp",
                                         "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.Bsp"};
    for (const std::string& name : names) {
        std::ofstream(PathFromUtf8(MapPath(folder, name)), std::ios::binary) << "x";
    }
    std::ofstream(PathFromUtf8(MapPath(folder, "readme.txt")), std::ios::binary) << "x";
    EXPECT_EQ(MapPattern(folder), "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\*.bsp");
    EXPECT_EQ(ListMapFiles(MapPattern(folder)), names);
    std::filesystem::remove_all(created, error);
}

}  // namespace
}  // namespace entorra
