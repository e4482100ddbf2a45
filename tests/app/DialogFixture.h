#pragma once

// A main dialog over a temporary map folder, with the user's answers scripted and the settings
// in memory. Controls are found by their identifiers, as a user's tools would find them.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "app/EntorraDlg.h"
#include "app/Resource.h"
#include "app/ScintillaEditor.h"
#include "bsp/BspFile.h"
#include "entities/EntityBlocks.h"
#include "entities/EntityText.h"
#include "folders/MapFolder.h"
#include "tests/app/AppTestSupport.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/MemorySettingsStore.h"
#include "tests/support/TestSupport.h"

namespace entorra::testing {

class DialogFixture : public ::testing::Test {
protected:
    DialogFixture() {
        std::filesystem::create_directory(m_dir.Path() / "maps");
        std::filesystem::create_directory(m_dir.Path() / "home");
        m_folder = (m_dir.Path() / "maps").string() + "/";
        m_rules = LinuxRules((m_dir.Path() / "home").string());
    }

    // A map of the given entity text in the map folder (or another folder).
    std::string WriteMap(const std::string& name, std::string_view entityText,
                         const std::string& folder = {}) {
        const std::string path = (folder.empty() ? m_folder : folder) + name;
        fixtures::WriteFileBytes(path, fixtures::MakeMap(entityText));
        return path;
    }

    // Starts the dialog as the program does, on the map folder stored in the settings unless
    // the test stored something else.
    void Start() {
        if (!m_settings.KeyExists(SettingsRoot::CurrentUser, kOwnSettingsKey) && m_bStoreFolder) {
            StoreMapFolder(m_settings, m_folder);
        }
        CDialogSetup setup;
        setup.settings = &m_settings;
        setup.prompt = m_bRealPrompt ? nullptr : &m_prompt;
        setup.picker = &m_picker;
        setup.fileSystem = &m_fileSystem;
        setup.rules = m_rules;
        setup.dumpSwitch = m_bDump;
        setup.startFolder = m_startFolder;
        setup.startMap = m_startMap;
        m_dlg = std::make_unique<CEntorraDlg>(setup);
        m_dlg->OnInitDialog();
    }

    template <typename T>
    T* Control(const char* name) const {
        T* control = m_dlg->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QListWidget* MapList() const { return Control<QListWidget>(IDC_MAP_LIST); }
    QComboBox* Combo() const { return Control<QComboBox>(IDC_ENTITY_COMBO); }
    CScintillaEditor& Editor() const { return m_dlg->Editor(); }
    std::string Text(const char* label) const {
        return Control<QLabel>(label)->text().toStdString();
    }
    std::string Title() const { return Text(IDC_MAP_TITLE); }
    std::string Census() const { return Text(IDC_SPAWN_COUNTS); }
    std::string FolderBox() const {
        return Control<QLineEdit>(IDC_MAP_FOLDER)->text().toStdString();
    }
    std::vector<std::string> ListedMaps() const {
        std::vector<std::string> names;
        for (int row = 0; row < MapList()->count(); ++row) {
            names.push_back(MapList()->item(row)->text().toStdString());
        }
        return names;
    }
    int SelectedRow() const {
        const auto rows = MapList()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    // As the user would: a click on the list entry.
    void Select(const std::string& name) {
        const auto items = MapList()->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name;
        MapList()->setCurrentItem(items.first());
    }
    void Click(const char* button) { Control<QPushButton>(button)->click(); }
    void SetSearch(const std::string& text) { Combo()->setEditText(QString::fromLatin1(text)); }
    // A change made by hand: a key line (kEdit) put in after the first line of the text.
    void Edit(const std::string& inserted = kEdit) {
        const std::string text = Editor().GetText();
        const std::size_t lineEnd = text.find("\r\n");
        const int at = lineEnd == std::string::npos ? 0 : static_cast<int>(lineEnd + 2);
        Editor().SetSelection(at, at);
        Editor().ReplaceSelection(inserted);
    }
    static constexpr const char* kEdit = "\"edited\" \"1\"\r\n";

    std::string FileText(const std::string& path) const {
        const fixtures::Bytes bytes = fixtures::ReadFileBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string StoredFolder() {
        std::string text;
        EXPECT_TRUE(ReadRegistryString(m_settings, SettingsRoot::CurrentUser, kOwnSettingsKey,
                                       kInstallPathValue, text, 4096));
        return text;
    }

    CTempDir m_dir;
    std::string m_folder;
    PlatformRules m_rules;
    CScriptedPrompt m_prompt;
    CScriptedPicker m_picker;
    CMemorySettingsStore m_settings;
    CFaultyFileSystem m_fileSystem;
    bool m_bDump = false;
    bool m_bRealPrompt = false;  // message boxes on screen instead of m_prompt
    bool m_bStoreFolder = true;
    std::optional<std::string> m_startFolder;
    std::optional<std::string> m_startMap;
    std::unique_ptr<CEntorraDlg> m_dlg;
};

// Entity text with spawn points T 2, CT 3, VIP 1, in the usual layout.
inline const char* const kSpawnText =
    "{\n\"classname\" \"worldspawn\"\n\"wad\" \"halflife.wad\"\n}\n"
    "{\n\"origin\" \"-256 128 36\"\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"origin\" \"-192 128 36\"\n\"classname\" \"info_player_deathmatch\"\n}\n"
    "{\n\"origin\" \"256 -128 36\"\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"origin\" \"192 -128 36\"\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"origin\" \"128 -128 36\"\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"origin\" \"0 0 36\"\n\"classname\" \"info_vip_start\"\n}\n"
    "{\n\"origin\" \"64 64 8\"\n\"classname\" \"light\"\n\"_light\" \"255 255 255 200\"\n}\n";

inline const char* const kOtherText =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n\"target\" \"info_player_start\"\n}\n";

// What CBspFile writes for an editor text into a copy of the map as it was.
inline fixtures::Bytes ReferenceSave(const std::string& originalMap, std::string editorText,
                                     const std::string& scratch) {
    std::filesystem::copy_file(originalMap, scratch,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(scratch, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    CRecordingSink sink;
    CBspFile file(sink);
    EXPECT_EQ(file.Load(scratch), 0);
    EXPECT_EQ(file.Save(scratch, editorText), 0);
    return fixtures::ReadFileBytes(scratch);
}

// The block FindEntityBlock finds, as the selection Find makes of it.
inline TextSelection ExpectedBlock(const std::string& text, const std::string& what, int from) {
    int start = 0;
    int end = 0;
    EXPECT_EQ(FindEntityBlock(what, text, from, start, end), 0) << what;
    return {start, std::min(end + 3, static_cast<int>(text.size()))};
}

}  // namespace entorra::testing
