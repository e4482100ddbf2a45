// Where the dialog finds its maps at start, and Browse.

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using DialogFolder = DialogFixture;

TEST_F(DialogFolder, TheStoredFolderIsUsedAsStoredWithoutWarningOrGameKeys) {
    WriteMap("a.bsp", kSpawnText);
    m_settings.SetRawValue(SettingsRoot::CurrentUser, kCounterStrikeKey, kInstallPathValue,
                           "/elsewhere");
    Start();
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(m_dlg->MapFolder(), m_folder);
    EXPECT_EQ(FolderBox(), m_folder);
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"a.bsp"}));
    EXPECT_TRUE(m_picker.prompts.empty());
    for (const std::string& read : m_settings.Reads()) {
        EXPECT_EQ(read.find("Valve"), std::string::npos) << read;
    }
}

TEST_F(DialogFolder, WithoutAStoredFolderItWarnsThenTheGameKeyDecides) {
    const std::string game = m_dir.File("game");
    std::filesystem::create_directories(game + "/cstrike/maps");
    WriteMap("de_x.bsp", kOtherText, game + "/cstrike/maps/");
    m_settings.SetRawValue(SettingsRoot::CurrentUser, kCounterStrikeKey, kInstallPathValue, game);
    m_bStoreFolder = false;
    Start();
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], kFirstRunWarning);
    EXPECT_EQ(m_dlg->MapFolder(), game + "/cstrike/maps/");
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"de_x.bsp"}));
    Click(IDOK);
    EXPECT_EQ(StoredFolder(), game + "/cstrike/maps/");
}

TEST_F(DialogFolder, AFolderFromTheCommandLineOverridesButStillWarnsOnFirstStart) {
    WriteMap("a.bsp", kSpawnText);
    m_bStoreFolder = false;
    m_startFolder = m_folder;
    m_startMap = "a.bsp";
    Start();
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], kFirstRunWarning);
    EXPECT_EQ(m_dlg->MapFolder(), m_folder);
    // The map named with it is shown as if chosen.
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Title(), "Entities for map a.bsp");
    EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 1");
    EXPECT_FALSE(Editor().IsModified());
}

TEST_F(DialogFolder, AFolderWithoutMapsOpensThePickerOnceAtStart) {
    const std::string empty = m_dir.File("empty") + "/";
    std::filesystem::create_directory(empty);
    StoreMapFolder(m_settings, empty);
    WriteMap("a.bsp", kSpawnText);
    m_picker.choices = {m_folder.substr(0, m_folder.size() - 1)};
    Start();
    ASSERT_EQ(m_picker.prompts.size(), 1U);
    EXPECT_EQ(m_picker.prompts[0], "Select a folder that contains bsp files.");
    EXPECT_EQ(m_picker.startFolders[0], empty);
    EXPECT_EQ(m_dlg->MapFolder(), m_folder);
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"a.bsp"}));
    EXPECT_EQ(Combo()->currentIndex(), 0);

    // Browse to a folder without maps: an empty list, and the picker does not come back.
    m_picker.choices = {empty};
    Click(IDC_BROWSE);
    EXPECT_EQ(m_picker.prompts.size(), 2U);
    EXPECT_TRUE(ListedMaps().empty());
    EXPECT_EQ(m_dlg->MapFolder(), empty + "/");
}

TEST_F(DialogFolder, ACancelledPickerAtStartLeavesAnEmptyList) {
    const std::string missing = m_dir.File("missing") + "/";
    StoreMapFolder(m_settings, missing);
    Start();
    EXPECT_EQ(m_picker.prompts.size(), 1U);
    EXPECT_TRUE(ListedMaps().empty());
    EXPECT_EQ(m_dlg->MapFolder(), missing);
    EXPECT_EQ(FolderBox(), missing);
    EXPECT_EQ(Title(), "No map loaded");
}

TEST_F(DialogFolder, CancellingBrowseChangesNothing) {
    WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    Start();
    Select("b.bsp");
    Edit();
    Click(IDC_BROWSE);
    EXPECT_EQ(m_picker.startFolders.back(), m_folder);
    EXPECT_EQ(m_dlg->MapFolder(), m_folder);
    EXPECT_EQ(FolderBox(), m_folder);
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"a.bsp", "b.bsp"}));
    EXPECT_EQ(SelectedRow(), 1);
    EXPECT_EQ(Title(), "Entities for map b.bsp");
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_TRUE(m_prompt.questions.empty());
}

TEST_F(DialogFolder, ConfirmingBrowseRefillsTheListAndLeavesTheEditorAlone) {
    WriteMap("a.bsp", kSpawnText);
    const std::string other = m_dir.File("other");
    std::filesystem::create_directory(other);
    WriteMap("z.bsp", kOtherText, other + "/");
    WriteMap("Y.bsp", kOtherText, other + "/");
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_picker.choices = {other};
    Click(IDC_BROWSE);
    EXPECT_EQ(m_dlg->MapFolder(), other + "/");
    EXPECT_EQ(FolderBox(), other + "/");
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"Y.bsp", "z.bsp"}));
    EXPECT_EQ(SelectedRow(), -1);
    EXPECT_EQ(Title(), "No map loaded");
    EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 1");
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_TRUE(m_prompt.questions.empty());

    // The edits still belong to the map they were made in.
    m_prompt.answers = {true};
    Select("z.bsp");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map a.bsp ?");
    EXPECT_NE(FileText(m_folder + "a.bsp").find("\"edited\" \"1\""), std::string::npos);
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
}

TEST_F(DialogFolder, ConfirmingTheSameFolderClearsTheSelectionAndTheTitle) {
    WriteMap("a.bsp", kSpawnText);
    Start();
    Select("a.bsp");
    m_picker.choices = {m_folder};  // a path that ends with its separator gets another
    Click(IDC_BROWSE);
    EXPECT_EQ(m_dlg->MapFolder(), m_folder + "/");
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{"a.bsp"}));
    EXPECT_EQ(SelectedRow(), -1);
    EXPECT_EQ(Title(), "No map loaded");
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kSpawnText));

    // Save with no map selected writes the shown map and only clears the title.
    Edit();
    Click(IDC_SAVE);
    EXPECT_NE(FileText(m_folder + "a.bsp").find("\"edited\" \"1\""), std::string::npos);
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_EQ(Title(), "No map loaded");
}

// What is stored at close, by what the run was started with and whether Browse chose a folder.
struct StoreCase {
    const char* name;
    enum { Nothing, Empty, AFolder } stored;
    enum { None, Folder, Map } commandLine;
    bool browse;
    enum { TheStoredFolder, TheCommandLineFolder, TheBrowsedFolder } kept;
};

class DialogStoresFolder : public DialogFixture, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(DialogStoresFolder, AFolderFromTheCommandLineOnlyWhenNoneWasStored) {
    const StoreCase& test = GetParam();
    WriteMap("a.bsp", kSpawnText);
    const std::string stored = m_dir.File("stored") + "/";
    const std::string browsed = m_dir.File("browsed");
    std::filesystem::create_directory(stored);
    std::filesystem::create_directory(browsed);
    WriteMap("s.bsp", kOtherText, stored);
    WriteMap("b.bsp", kOtherText, browsed + "/");
    m_bStoreFolder = false;
    if (test.stored != StoreCase::Nothing) {
        StoreMapFolder(m_settings, test.stored == StoreCase::Empty ? std::string() : stored);
    }
    if (test.commandLine != StoreCase::None) {
        m_startFolder = m_folder;
    }
    if (test.commandLine == StoreCase::Map) {
        m_startMap = "a.bsp";
    }
    Start();
    EXPECT_EQ(m_dlg->MapFolder(), test.commandLine != StoreCase::None ? m_folder : stored);
    if (test.browse) {
        m_picker.choices = {browsed};
        Click(IDC_BROWSE);
    }
    Click(IDOK);
    const char* const kept[] = {"the stored folder", "the command line's", "the browsed one"};
    const std::string expected = test.kept == StoreCase::TheStoredFolder        ? stored
                                 : test.kept == StoreCase::TheCommandLineFolder ? m_folder
                                                                                : browsed + "/";
    EXPECT_EQ(StoredFolder(), expected) << kept[test.kept];
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DialogStoresFolder,
    ::testing::Values(StoreCase{"CommandLineMap", StoreCase::AFolder, StoreCase::Map, false,
                                StoreCase::TheStoredFolder},
                      StoreCase{"CommandLineFolder", StoreCase::AFolder, StoreCase::Folder, false,
                                StoreCase::TheStoredFolder},
                      StoreCase{"CommandLineThenBrowse", StoreCase::AFolder, StoreCase::Folder,
                                true, StoreCase::TheBrowsedFolder},
                      StoreCase{"CommandLineNothingStored", StoreCase::Nothing, StoreCase::Map,
                                false, StoreCase::TheCommandLineFolder},
                      StoreCase{"CommandLineEmptyStored", StoreCase::Empty, StoreCase::Folder,
                                false, StoreCase::TheCommandLineFolder},
                      StoreCase{"NoCommandLine", StoreCase::AFolder, StoreCase::None, false,
                                StoreCase::TheStoredFolder},
                      StoreCase{"NoCommandLineBrowse", StoreCase::AFolder, StoreCase::None, true,
                                StoreCase::TheBrowsedFolder}),
    [](const ::testing::TestParamInfo<StoreCase>& tested) {
        return std::string(tested.param.name);
    });

}  // namespace
}  // namespace entorra::testing
