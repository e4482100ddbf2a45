// The INI settings store: the registry's key paths and value names, without regard to case,
// values back byte for byte, and the folder discovery over it.

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <filesystem>

#include "app/QtSettingsStore.h"
#include "folders/MapFolder.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra::testing {
namespace {

constexpr auto kUser = SettingsRoot::CurrentUser;

class QtSettingsStoreTest : public ::testing::Test {
protected:
    QString File() const { return QString::fromStdString(m_dir.File("Entorra.ini")); }
    std::string Read(CQtSettingsStore& store, std::string_view key, std::string_view value) {
        const auto data = store.ReadValue(kUser, key, value);
        return data ? *data : std::string("<none>");
    }
    CTempDir m_dir;
};

TEST_F(QtSettingsStoreTest, StoresTheFolderAndReadsItBackExactly) {
    const std::string folders[] = {"/home/me/maps/", "C:\\Sierra\\cstrike\\maps\\\\",
                                   "/odd \xff\xfe bytes/", "", "/a,b; c=d \"q\"/"};
    for (const std::string& folder : folders) {
        {
            CQtSettingsStore store(File());
            StoreMapFolder(store, folder);
        }
        CQtSettingsStore store(File());
        std::string text = "unchanged";
        ASSERT_TRUE(
            ReadRegistryString(store, kUser, kOwnSettingsKey, kInstallPathValue, text, 4096))
            << folder;
        EXPECT_EQ(text, folder);
    }
}

TEST_F(QtSettingsStoreTest, KeyPathsAndValueNamesMatchWithoutRegardToCase) {
    {
        QFile file(File());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[software\\quorvale\\entorra\\SETTINGS]\ninstallpath=/hand/made/\n\n"
            "[Software]\nValve\\CounterStrike\\InstallPath=C:\\\\Games\\\\CS\n");
    }
    CQtSettingsStore store(File());
    EXPECT_EQ(Read(store, kOwnSettingsKey, kInstallPathValue), "/hand/made/");
    EXPECT_EQ(Read(store, kCounterStrikeKey, "INSTALLPATH"), "C:\\Games\\CS");
    EXPECT_EQ(Read(store, kHalfLifeKey, kInstallPathValue), "<none>");
    EXPECT_EQ(Read(store, "Software\\Quorvale\\Entorra", "Settings"), "<none>");

    // A write replaces the value in whatever case it was spelled, and adds no second one.
    EXPECT_TRUE(store.CreateKey(kUser, kOwnSettingsKey));
    EXPECT_TRUE(store.SetStringValue(kUser, kOwnSettingsKey, kInstallPathValue, "/new/"));
    QSettings raw(File(), QSettings::IniFormat);
    int found = 0;
    for (const QString& key : raw.allKeys()) {
        if (key.compare(QStringLiteral("Software/Quorvale/Entorra/Settings/InstallPath"),
                        Qt::CaseInsensitive) == 0) {
            ++found;
            EXPECT_EQ(raw.value(key).toString().toStdString(), "/new/");
        }
    }
    EXPECT_EQ(found, 1);
}

TEST_F(QtSettingsStoreTest, DiscoveryRunsOverTheFile) {
    const std::string game = m_dir.File("game");
    {
        CQtSettingsStore store(File());
        ASSERT_TRUE(store.SetStringValue(kUser, kHalfLifeKey, kInstallPathValue, game));
    }
    CQtSettingsStore store(File());
    CRecordingSink sink;
    const FoundMapFolder found = FindMapFolder(store, sink, LinuxRules(m_dir.File("home")));
    EXPECT_EQ(found.folder, game + "/cstrike/maps/");
    EXPECT_EQ(found.source, MapFolderSource::HalfLife);
    ASSERT_EQ(sink.messages.size(), 1U);
    StoreMapFolder(store, found.folder);
    sink.messages.clear();
    EXPECT_EQ(FindMapFolder(store, sink, LinuxRules(m_dir.File("home"))).folder, found.folder);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(QtSettingsStoreTest, AFileThatCannotBeWrittenRefusesAndKeepsNothing) {
    const std::string blocker = m_dir.File("blocker");
    fixtures::WriteFileBytes(blocker, {'x'});
    CQtSettingsStore store(QString::fromStdString(blocker + "/Entorra.ini"));
    StoreMapFolder(store, "/maps/");
    EXPECT_FALSE(store.SetStringValue(kUser, kOwnSettingsKey, kInstallPathValue, "/maps/"));
    CQtSettingsStore again(QString::fromStdString(blocker + "/Entorra.ini"));
    EXPECT_FALSE(again.ReadValue(kUser, kOwnSettingsKey, kInstallPathValue));
}

TEST(QtSettingsStoreLocation, TheUsersFileIsQuorvaleEntorraIniInTheConfigurationFolder) {
    const CQtSettingsStore store;
    const std::string name = store.FileName().toStdString();
    EXPECT_NE(name.find("Quorvale"), std::string::npos) << name;
    EXPECT_EQ(std::filesystem::path(name).filename(), "Entorra.ini");
}

}  // namespace
}  // namespace entorra::testing
