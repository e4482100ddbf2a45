#pragma once

// The main dialog: the map folder and its map list on the left; the search string, the search
// and delete commands, the shown map's title and spawn census and the entity editor on the
// right. It holds all state of a run and hands the work to the core.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogUnits.h"
#include "app/UserPrompt.h"
#include "diagnostics/EntityDumpLog.h"
#include "entities/EntitySearch.h"
#include "entities/ShownMap.h"
#include "folders/MapList.h"
#include "folders/Platform.h"
#include "folders/SettingsStore.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace entorra {

class CScintillaEditor;

// What a run of the dialog works with. Null services are the real ones: message boxes, the
// platform's folder chooser, the operating system's files.
struct CDialogSetup {
    ISettingsStore* settings = nullptr;  // required
    IUserPrompt* prompt = nullptr;
    IFolderPicker* picker = nullptr;
    IFileSystem* fileSystem = nullptr;
    PlatformRules rules;
    bool dumpSwitch = false;
    // From the command line: a folder that overrides the one found, and a map in it to show.
    std::optional<std::string> startFolder;
    std::optional<std::string> startMap;
};

class CEntorraDlg : public QDialog {
    Q_OBJECT
public:
    explicit CEntorraDlg(CDialogSetup setup, QWidget* parent = nullptr);
    ~CEntorraDlg() override;

    // Initialises the dialog, then runs it until it closes.
    int DoModal();
    void OnInitDialog();

    void OnSelchangeMapList();
    void ShowSelectedMap();
    // True when the map was written. Otherwise the edits stay in the editor, still unsaved:
    // the save failed, or no map is loaded to save them into (which it says).
    bool OnSave();
    // Asks whether to save unsaved changes. False only when the user wanted them saved and
    // they were not, so the caller must not drop them.
    bool PromptSaveChanges();
    void OnBrowse();
    int FillMapList(const std::string& mapPattern);
    void OnFind();
    void OnFindNext();
    void OnDelete();
    void OnDeleteAll();
    void OnAbout();
    // Ctrl+F: the keyboard focus to the search string, all of it selected.
    void FocusSearchField();

    const std::string& MapFolder() const { return m_strMapFolder; }
    const std::string& CurrentMapName() const { return m_strMapName; }
    const std::string& CurrentMapPath() const { return m_strMapPath; }
    int SearchPosition() const { return m_pSearch->SearchPosition(); }
    const CEntityDumpLog& DumpLog() const { return m_dumpLog; }
    CScintillaEditor& Editor() { return *m_pEntityText; }
    const CDialogUnits& Units() const { return m_units; }
    // The least size that shows every control whole, whatever the screen.
    QSize NeededSize() const;

protected:
    void done(int result) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
#if defined(Q_OS_WIN)
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    class CComboSearchString final : public ISearchStringSource {
    public:
        void SetCombo(const QComboBox* combo) { m_pCombo = combo; }
        std::string SearchString() const override;

    private:
        const QComboBox* m_pCombo = nullptr;
    };

    struct CLayout;
    void CreateControls();
    CLayout Layout(int width, int height) const;
    void LayOutControls();
    QSize FirstSize() const;
    // The map that Save writes into, and Qt's mark for unsaved changes.
    void UpdateWindowTitle();
    void FindMapFolder();
    void StoreMapFolder();
    // The shut-down steps; false when a failed save keeps the dialog open.
    bool OnDestroy();
    int SelectedMapRow() const;
    void SelectMapRowQuietly(int row);
    void ShowMapFolder();
    IUserPrompt& Prompt() {
        return *m_pPrompt;
    }

    CDialogSetup m_setup;
    std::unique_ptr<CMessageBoxPrompt> m_pOwnPrompt;
    std::unique_ptr<IFolderPicker> m_pOwnPicker;
    IUserPrompt* m_pPrompt;
    IFolderPicker* m_pPicker;
    IFileSystem& m_fileSystem;
    CDialogUnits m_units;

    std::string m_strMapFolder;
    std::string m_strMapName;
    std::string m_strMapPath;
    std::vector<std::string> m_mapNames;  // the list's entries as bytes, row for row
    CEntityDumpLog m_dumpLog;

    QLabel* m_pSpawnCounts = nullptr;
    CScintillaEditor* m_pEntityText = nullptr;
    QComboBox* m_pEntityCombo = nullptr;
    QLabel* m_pMapTitle = nullptr;
    QListWidget* m_pMapList = nullptr;
    QLineEdit* m_pMapFolder = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QPushButton* m_pFind = nullptr;
    QPushButton* m_pFindNext = nullptr;
    QPushButton* m_pDelete = nullptr;
    QPushButton* m_pDeleteAll = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pExit = nullptr;
    QLabel* m_pMapFolderLabel = nullptr;
    QLabel* m_pSearchLabel = nullptr;
    QLabel* m_pMapFilesLabel = nullptr;
    QGroupBox* m_pMapsGroup = nullptr;
    QGroupBox* m_pEntitiesGroup = nullptr;

    // Both work on the editor control, so they come into being with it.
    std::unique_ptr<CShownMap> m_pShownMap;
    CComboSearchString m_searchSource;
    std::unique_ptr<CEntitySearch> m_pSearch;
    bool m_bShutDown = false;
    // A folder from the command line is for this run: it is stored at close only when the
    // stored one was empty; a folder chosen with Browse always is.
    bool m_bStoreFolder = true;
};

}  // namespace entorra
