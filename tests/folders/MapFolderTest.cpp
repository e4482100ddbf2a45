#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "folders/MapFolder.h"
#include "folders/Platform.h"
#include "folders/SettingsStore.h"
#include "tests/support/MemorySettingsStore.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CMemorySettingsStore;
using testing::CRecordingSink;
using testing::CTempDir;

const std::string kOwnRead = std::string(kOwnSettingsKey) + "|InstallPath";
const std::string kCounterStrikeRead = std::string(kCounterStrikeKey) + "|InstallPath";
const std::string kHalfLifeRead = std::string(kHalfLifeKey) + "|InstallPath";

void SetString(CMemorySettingsStore& store, const char* key, const std::string& text) {
    store.SetRawValue(SettingsRoot::CurrentUser, key, kInstallPathValue, text + '\0');
}

void MakeFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
}

class MapFolderDiscovery : public ::testing::Test {
protected:
    FoundMapFolder Find(const PlatformRules& rules) { return FindMapFolder(store, sink, rules); }
    FoundMapFolder FindLinux() { return Find(LinuxRules(home.Path().string())); }
    std::string Home() const { return home.Path().string(); }

    CTempDir home;
    CMemorySettingsStore store;
    CRecordingSink sink;
};

TEST_F(MapFolderDiscovery, EachSourceDecidesInTurnAsTheEarlierOnesAppear) {
    const std::string steamMaps = Home() + "/.steam/steam/steamapps/common/Half-Life/cstrike/maps";

    FoundMapFolder found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::Default);
    EXPECT_EQ(found.folder,
              Home() + "/.local/share/Steam/steamapps/common/Half-Life/cstrike/maps/");

    MakeFolder(steamMaps);
    found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::Steam);
    EXPECT_EQ(found.folder, steamMaps + "/");

    SetString(store, kHalfLifeKey, "/games/hl");
    found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::HalfLife);
    EXPECT_EQ(found.folder, "/games/hl/cstrike/maps/");

    SetString(store, kCounterStrikeKey, "/games/cs");
    found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::CounterStrike);
    EXPECT_EQ(found.folder, "/games/cs/cstrike/maps/");

    // Every start so far lacked the program's own value, so each warned once.
    EXPECT_EQ(sink.messages, std::vector<std::string>(4, kFirstRunWarning));

    SetString(store, kOwnSettingsKey, "/mine/");
    found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::OwnSetting);
    EXPECT_EQ(found.folder, "/mine/");
    EXPECT_EQ(sink.messages.size(), 4u);
}

TEST_F(MapFolderDiscovery, WindowsFormsItsFoldersWithBackslashesAndTheFixedDefault) {
    const PlatformRules windows = WindowsRules();
    FoundMapFolder found = Find(windows);
    EXPECT_EQ(found.source, MapFolderSource::Default);
    EXPECT_EQ(found.folder, "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\");

    SetString(store, kHalfLifeKey, "C:\\Valve\\Half-Life");
    EXPECT_EQ(Find(windows).folder, "C:\\Valve\\Half-Life\\cstrike\\maps\\");

    SetString(store, kCounterStrikeKey, "D:\\CS");
    EXPECT_EQ(Find(windows).folder, "D:\\CS\\cstrike\\maps\\");
    EXPECT_EQ(sink.messages, std::vector<std::string>(3, kFirstRunWarning));
}

TEST_F(MapFolderDiscovery, TheWarningIsTheFirstRunTextWordForWord) {
    FindLinux();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0],
              "WARNING!\n\nThis program makes PERMANENT changes to your map files.\nBack Up all "
              "of your .bsp files before making changes to them.");
}

TEST_F(MapFolderDiscovery, OwnValueIsTakenAsStoredWithoutWarningOrGameKeysAndUnchecked) {
    SetString(store, kCounterStrikeKey, "/games/cs");
    SetString(store, kHalfLifeKey, "/games/hl");
    for (const std::string& stored :
         std::vector<std::string>{"/does/not/exist/", "/no/trailing/separator", "C:\\maps",
                                  "/with//doubled//separators//"}) {
        SetString(store, kOwnSettingsKey, stored);
        const FoundMapFolder found = FindLinux();
        EXPECT_EQ(found.folder, stored);
        EXPECT_EQ(found.source, MapFolderSource::OwnSetting);
    }
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(store.Reads(), std::vector<std::string>(4, kOwnRead));
}

TEST_F(MapFolderDiscovery, KeyPathsAndValueNamesMatchWithoutRegardToCase) {
    store.SetRawValue(SettingsRoot::CurrentUser, "SOFTWARE\\quorvale\\ENTORRA\\settings",
                      "installpath", std::string("/mine/\0", 7));
    EXPECT_EQ(FindLinux().folder, "/mine/");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(MapFolderDiscovery, AnEmptyOwnValueGivesAnEmptyFolderWithoutWarning) {
    for (const std::string& data : {std::string(), std::string(1, '\0')}) {
        store.SetRawValue(SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue, data);
        const FoundMapFolder found = FindLinux();
        EXPECT_EQ(found.folder, "");
        EXPECT_EQ(found.source, MapFolderSource::OwnSetting);
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(MapFolderDiscovery, CounterStrikeDecidesAndHalfLifeIsNotRead) {
    SetString(store, kCounterStrikeKey, "/games/cs");
    SetString(store, kHalfLifeKey, "/games/hl");
    EXPECT_EQ(FindLinux().folder, "/games/cs/cstrike/maps/");
    EXPECT_EQ(store.Reads(), (std::vector<std::string>{kOwnRead, kCounterStrikeRead}));
}

TEST_F(MapFolderDiscovery, AnInstallFolderEndingInASeparatorKeepsTheDoubledOne) {
    SetString(store, kHalfLifeKey, "C:\\Valve\\Half-Life\\");
    EXPECT_EQ(Find(WindowsRules()).folder, "C:\\Valve\\Half-Life\\\\cstrike\\maps\\");
    SetString(store, kCounterStrikeKey, "/opt/cs/");
    EXPECT_EQ(FindLinux().folder, "/opt/cs//cstrike/maps/");
}

TEST_F(MapFolderDiscovery, GameKeysDecideEvenWhenTheirFolderDoesNotExist) {
    MakeFolder(home.Path() / ".steam/steam/steamapps/common/Half-Life/cstrike/maps");
    SetString(store, kHalfLifeKey, "/nowhere");
    const FoundMapFolder found = FindLinux();
    EXPECT_EQ(found.source, MapFolderSource::HalfLife);
    EXPECT_EQ(found.folder, "/nowhere/cstrike/maps/");
}

TEST_F(MapFolderDiscovery, WindowsValuesOf259CharactersAreReadAndLongerOnesAreAbsent) {
    const PlatformRules windows = WindowsRules();
    const std::string fits(259, 'a');
    const std::string tooLong(260, 'b');

    SetString(store, kOwnSettingsKey, fits);
    EXPECT_EQ(Find(windows).folder, fits);
    EXPECT_TRUE(sink.messages.empty());

    // 260 characters: with its NUL the value overflows the buffer; without it, the NUL does not
    // fit. Either way it counts as absent, so the warning shows and the game keys are tried.
    SetString(store, kCounterStrikeKey, "C:\\CS");
    for (const std::string& data : {tooLong + '\0', tooLong}) {
        store.SetRawValue(SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue, data);
        sink.messages.clear();
        const FoundMapFolder found = Find(windows);
        EXPECT_EQ(found.source, MapFolderSource::CounterStrike);
        EXPECT_EQ(sink.messages, std::vector<std::string>{kFirstRunWarning});
    }

    // A game key that does not fit passes on to the next one.
    SetString(store, kCounterStrikeKey, tooLong);
    SetString(store, kHalfLifeKey, std::string(259 - 14, 'h'));
    const FoundMapFolder found = Find(windows);
    EXPECT_EQ(found.source, MapFolderSource::HalfLife);
    EXPECT_EQ(found.folder, std::string(259 - 14, 'h') + "\\cstrike\\maps\\");
    EXPECT_EQ(found.folder.size(), 259u);
}

TEST_F(MapFolderDiscovery, ElsewhereTheLimitIsThePathLimitNot259) {
    const std::string longFolder = "/" + std::string(300, 'x') + "/";
    SetString(store, kOwnSettingsKey, longFolder);
    EXPECT_EQ(FindLinux().folder, longFolder);

    SetString(store, kOwnSettingsKey, std::string(4095, 'y'));
    EXPECT_EQ(FindLinux().folder, std::string(4095, 'y'));
    EXPECT_TRUE(sink.messages.empty());

    SetString(store, kOwnSettingsKey, std::string(4096, 'z'));
    EXPECT_EQ(FindLinux().source, MapFolderSource::Default);
    EXPECT_EQ(sink.messages, std::vector<std::string>{kFirstRunWarning});
}

TEST(ReadRegistryString, TextIsTheDataUpToItsFirstNulWithinTheBytesStored) {
    CMemorySettingsStore store;
    std::string text = "untouched";
    EXPECT_FALSE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, 260));
    EXPECT_EQ(text, "untouched");

    store.SetRawValue(SettingsRoot::CurrentUser, "K", "V", std::string("abc\0def", 7));
    EXPECT_TRUE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, 260));
    EXPECT_EQ(text, "abc");

    // Without its NUL, a value reads as the same text as with it.
    store.SetRawValue(SettingsRoot::CurrentUser, "K", "V", "abc");
    EXPECT_TRUE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, 260));
    EXPECT_EQ(text, "abc");

    // Data larger than the buffer fails even when its text before a NUL is short.
    store.SetRawValue(SettingsRoot::CurrentUser, "K", "V",
                      std::string("ab\0", 3) + std::string(300, 'x'));
    text = "untouched";
    EXPECT_FALSE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, 260));
    EXPECT_EQ(text, "untouched");

    EXPECT_FALSE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "Other", text, 260));
    EXPECT_FALSE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K\\Sub", "V", text, 260));
}

TEST(ReadRegistryString, TheBufferHoldsTheTextAndItsNul) {
    CMemorySettingsStore store;
    std::string text;
    for (const std::size_t buffer : {std::size_t{1}, std::size_t{4}, std::size_t{260}}) {
        store.SetRawValue(SettingsRoot::CurrentUser, "K", "V", std::string(buffer - 1, 'a'));
        EXPECT_TRUE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, buffer));
        EXPECT_EQ(text.size(), buffer - 1);
        store.SetRawValue(SettingsRoot::CurrentUser, "K", "V", std::string(buffer, 'a'));
        EXPECT_FALSE(ReadRegistryString(store, SettingsRoot::CurrentUser, "K", "V", text, buffer));
    }
}

class MapFolderStore : public ::testing::Test {
protected:
    std::optional<std::string> Stored() {
        return store.ReadValue(SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue);
    }

    CMemorySettingsStore store;
    CRecordingSink sink;
};

TEST_F(MapFolderStore, StoresTheFolderCharacterForCharacterWithItsNulCreatingTheKey) {
    EXPECT_FALSE(store.KeyExists(SettingsRoot::CurrentUser, "Software\\Quorvale"));
    for (const std::string& folder :
         std::vector<std::string>{"C:\\\\", "", "/no/separator", "C:\\Valve\\\\cstrike\\maps\\",
                                  std::string(5000, 'l')}) {
        StoreMapFolder(store, folder);
        EXPECT_EQ(Stored(), folder + '\0');
    }
    EXPECT_TRUE(store.KeyExists(SettingsRoot::CurrentUser, "Software\\Quorvale"));
    EXPECT_TRUE(store.KeyExists(SettingsRoot::CurrentUser, "Software\\Quorvale\\Entorra"));
}

TEST_F(MapFolderStore, ReplacesAValueStoredUnderOtherLetterCase) {
    store.SetRawValue(SettingsRoot::CurrentUser, "software\\QUORVALE\\entorra\\SETTINGS",
                      "INSTALLPATH", "/old/");
    StoreMapFolder(store, "/new/");
    EXPECT_EQ(Stored(), std::string("/new/\0", 6));
}

TEST_F(MapFolderStore, ARefusingStoreKeepsTheEarlierValueAndSaysNothing) {
    StoreMapFolder(store, "/kept/");
    store.RefuseCreateKey(true);
    StoreMapFolder(store, "/lost/");
    EXPECT_EQ(Stored(), std::string("/kept/\0", 7));
    store.RefuseCreateKey(false);
    store.RefuseSetValue(true);
    StoreMapFolder(store, "/lost/");
    EXPECT_EQ(Stored(), std::string("/kept/\0", 7));
}

TEST_F(MapFolderStore, TheFirstStartWarnsAndStoresSoTheNextStartDoesNot) {
    CTempDir home;
    const PlatformRules rules = LinuxRules(home.Path().string());
    store.SetRawValue(SettingsRoot::CurrentUser, kHalfLifeKey, kInstallPathValue, "/hl/");

    const std::string first = FindMapFolder(store, sink, rules).folder;
    EXPECT_EQ(sink.messages.size(), 1u);
    StoreMapFolder(store, first);

    // The game key changes after the first start; the stored folder keeps deciding.
    store.SetRawValue(SettingsRoot::CurrentUser, kHalfLifeKey, kInstallPathValue, "/elsewhere/");
    const FoundMapFolder second = FindMapFolder(store, sink, rules);
    EXPECT_EQ(second.folder, "/hl//cstrike/maps/");
    EXPECT_EQ(second.source, MapFolderSource::OwnSetting);
    EXPECT_EQ(sink.messages.size(), 1u);

    // 259 characters read back on Windows; what was stored at close is used the next start.
    StoreMapFolder(store, std::string(259, 'w'));
    EXPECT_EQ(FindMapFolder(store, sink, WindowsRules()).folder, std::string(259, 'w'));
}

TEST(PlatformRules, LinuxPlacesEverythingUnderTheHomeFolder) {
    const PlatformRules rules = LinuxRules("/home/u");
    EXPECT_EQ(rules.separator, '/');
    EXPECT_EQ(rules.defaultMapFolder,
              "/home/u/.local/share/Steam/steamapps/common/Half-Life/cstrike/maps/");
    EXPECT_EQ(rules.dumpLogPath, "/home/u/AllEntities.txt");
    EXPECT_EQ(
        rules.steamRoots,
        (std::vector<std::string>{"/home/u/.steam/steam", "/home/u/.local/share/Steam",
                                  "/home/u/.var/app/com.valvesoftware.Steam/.local/share/Steam"}));
    EXPECT_EQ(LinuxRules("/").dumpLogPath, "/AllEntities.txt");
    EXPECT_EQ(LinuxRules("/home/u/").dumpLogPath, "/home/u/AllEntities.txt");
    EXPECT_EQ(MacRules("/Users/u").steamRoots,
              std::vector<std::string>{"/Users/u/Library/Application Support/Steam"});
}

#if defined(_WIN32)

TEST(PlatformRules, WindowsIsThePlatformHereAndHomeIsTheUserProfile) {
    const PlatformRules rules = CurrentPlatformRules();
    EXPECT_EQ(rules.separator, '\\');
    EXPECT_EQ(rules.defaultMapFolder, "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\");
    EXPECT_EQ(rules.dumpLogPath, "C:\\AllEntities.txt");
    EXPECT_EQ(rules.valueBufferSize, 260u);

    const wchar_t* saved = _wgetenv(L"USERPROFILE");
    const std::wstring previous = saved != nullptr ? saved : L"";
    // A user name outside the ANSI code page arrives in UTF-8.
    ASSERT_EQ(_wputenv_s(L"USERPROFILE", L"C:\\users\\\u0416\u00e9r\u00f4me"), 0);
    EXPECT_EQ(HomeFolder(), "C:\\users\\\xD0\x96\xC3\xA9r\xC3\xB4me");
    _wputenv_s(L"USERPROFILE", previous.c_str());
}

#else

TEST(PlatformRules, HomeIsTheEnvironmentsElseThePasswordDatabases) {
    const char* saved = std::getenv("HOME");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("HOME", "/somewhere/else", 1);
    EXPECT_EQ(HomeFolder(), "/somewhere/else");
    EXPECT_EQ(CurrentPlatformRules().dumpLogPath, "/somewhere/else/AllEntities.txt");
    setenv("HOME", "", 1);
    const std::string fallback = HomeFolder();
    unsetenv("HOME");
    EXPECT_EQ(HomeFolder(), fallback);
    if (saved != nullptr) {
        setenv("HOME", previous.c_str(), 1);
    }
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr) {
        EXPECT_EQ(fallback, entry->pw_dir);
    }
}

#endif

}  // namespace
}  // namespace entorra
