#include "app/EntorraDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>

#include <algorithm>
#include <array>

#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "app/FolderPicker.h"
#include "app/QtText.h"
#include "app/Resource.h"
#include "app/ScintillaEditor.h"
#include "app/SystemMenu.h"
#include "base/Format.h"
#include "entities/EntityClassNames.h"
#include "folders/MapFolder.h"

namespace entorra {
namespace {

constexpr const char* kNoMapLoaded = "No map loaded";

// The wait cursor for the length of a scope; nested scopes keep it on.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The search string as the editor holds text: one byte per character, as it shows them. A
// character it cannot show occurs nowhere, so such a string searches for nothing.
std::string EditorBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar character : text) {
        if (character.unicode() > 0xFF) {
            return {};
        }
        bytes += static_cast<char>(character.unicode());
    }
    return bytes;
}

}  // namespace

std::string CEntorraDlg::CComboSearchString::SearchString() const {
    // The field shows the chosen list entry, or whatever was typed since.
    return m_pCombo != nullptr ? EditorBytes(m_pCombo->currentText()) : std::string();
}

CEntorraDlg::CEntorraDlg(CDialogSetup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_setup(std::move(setup)),
      m_pOwnPrompt(m_setup.prompt == nullptr ? std::make_unique<CMessageBoxPrompt>(this) : nullptr),
      m_pOwnPicker(m_setup.picker == nullptr ? std::make_unique<CFolderPicker>(this) : nullptr),
      m_pPrompt(m_setup.prompt != nullptr ? m_setup.prompt : m_pOwnPrompt.get()),
      m_pPicker(m_setup.picker != nullptr ? m_setup.picker : m_pOwnPicker.get()),
      m_fileSystem(m_setup.fileSystem != nullptr ? *m_setup.fileSystem : RealFileSystem()),
      m_units(DialogFont()),
      m_dumpLog(m_setup.dumpSwitch) {
    setObjectName(IDD_MAIN_DIALOG);
    setWindowTitle(kAppName);
    setFont(DialogFont());
    CreateControls();
    m_pShownMap = std::make_unique<CShownMap>(*m_pEntityText, *m_pPrompt, m_fileSystem, &m_dumpLog);
    m_searchSource.SetCombo(m_pEntityCombo);
    m_pSearch = std::make_unique<CEntitySearch>(*m_pEntityText, m_searchSource, *m_pPrompt);

    // The template's size is the least that shows every control; the window may grow.
    QSize size = m_units.Size(540, 438);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableSize());
    }
    setMinimumSize(size);
    resize(size);
    LayOutControls();
}

CEntorraDlg::~CEntorraDlg() {
    // Hiding the window on the way out moves the focus, and a field that loses it may still
    // signal (the combo box chooses the entry typed into it); the handlers are gone by then.
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
    }
}

void CEntorraDlg::CreateControls() {
    // Group boxes first, so that they lie beneath the controls they frame.
    m_pMapsGroup = new QGroupBox(QStringLiteral("Maps"), this);
    m_pEntitiesGroup = new QGroupBox(QStringLiteral("Entities"), this);

    m_pMapFolder = new QLineEdit(this);
    m_pMapFolder->setObjectName(IDC_MAP_FOLDER);
    m_pMapFolder->setReadOnly(true);

    m_pBrowse = new QPushButton(QStringLiteral("&Browse"), this);
    m_pBrowse->setObjectName(IDC_BROWSE);

    m_pMapList = new QListWidget(this);
    m_pMapList->setObjectName(IDC_MAP_LIST);
    m_pMapList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pMapList->setSortingEnabled(false);  // the core sorts, without regard to case

    m_pEntityCombo = new QComboBox(this);
    m_pEntityCombo->setObjectName(IDC_ENTITY_COMBO);
    m_pEntityCombo->setEditable(true);
    m_pEntityCombo->setInsertPolicy(QComboBox::NoInsert);
    m_pEntityCombo->setCompleter(nullptr);  // a typed string is searched as typed
    m_pEntityCombo->setMaxVisibleItems(24);
    for (const std::string_view name : kEntityClassNames) {
        m_pEntityCombo->addItem(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }

    m_pFind = new QPushButton(QStringLiteral("&Find"), this);
    m_pFind->setObjectName(IDC_FIND);

    m_pEntityText = new CScintillaEditor(this);
    m_pEntityText->setObjectName(IDC_ENTITY_TEXT);
    m_pEntityText->setAccessibleName(QStringLiteral("Entity text"));

    m_pDelete = new QPushButton(QStringLiteral("&Delete"), this);
    m_pDelete->setObjectName(IDC_DELETE);
    m_pDeleteAll = new QPushButton(QStringLiteral("Delete &All"), this);
    m_pDeleteAll->setObjectName(IDC_DELETE_ALL);
    m_pSave = new QPushButton(QStringLiteral("&Save"), this);
    m_pSave->setObjectName(IDC_SAVE);
    m_pExit = new QPushButton(QStringLiteral("E&xit"), this);
    m_pExit->setObjectName(IDOK);

    m_pMapFolderLabel = new QLabel(QStringLiteral("Map Folder:"), this);
    m_pMapFolderLabel->setBuddy(m_pMapFolder);
    m_pMapTitle = new QLabel(QStringLiteral("No Map Loaded"), this);
    m_pMapTitle->setObjectName(IDC_MAP_TITLE);
    m_pMapTitle->setTextFormat(Qt::PlainText);
    m_pSearchLabel = new QLabel(QStringLiteral("Entity to Search for:"), this);
    m_pSearchLabel->setBuddy(m_pEntityCombo);
    m_pFindNext = new QPushButton(QStringLiteral("Find &Next"), this);
    m_pFindNext->setObjectName(IDC_FIND_NEXT);
    m_pMapFilesLabel = new QLabel(QStringLiteral("Map Files:"), this);
    m_pMapFilesLabel->setBuddy(m_pMapList);
    m_pSpawnCounts = new QLabel(this);
    m_pSpawnCounts->setObjectName(IDC_SPAWN_COUNTS);
    m_pSpawnCounts->setTextFormat(Qt::PlainText);

    // Tab order: the template's order of the controls that take the focus.
    const std::array<QWidget*, 11> tabOrder = {
        m_pMapFolder, m_pBrowse,    m_pMapList, m_pEntityCombo, m_pFind,    m_pEntityText,
        m_pDelete,    m_pDeleteAll, m_pSave,    m_pExit,        m_pFindNext};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(m_pBrowse, &QPushButton::clicked, this, &CEntorraDlg::OnBrowse);
    connect(m_pFind, &QPushButton::clicked, this, &CEntorraDlg::OnFind);
    connect(m_pFindNext, &QPushButton::clicked, this, &CEntorraDlg::OnFindNext);
    connect(m_pDelete, &QPushButton::clicked, this, &CEntorraDlg::OnDelete);
    connect(m_pDeleteAll, &QPushButton::clicked, this, &CEntorraDlg::OnDeleteAll);
    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(m_pExit, &QPushButton::clicked, this, &QDialog::accept);
    // A choice from the list, by mouse, wheel or arrow keys, searches at once.
    connect(m_pEntityCombo, &QComboBox::activated, this, [this](int) { OnFind(); });
    // The list cannot be left without a selection by the user; only a chosen map counts.
    connect(m_pMapList, &QListWidget::itemSelectionChanged, this, [this] {
        if (SelectedMapRow() >= 0) {
            OnSelchangeMapList();
        }
    });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CEntorraDlg::OnAbout);
}

void CEntorraDlg::LayOutControls() {
    // Controls stand where the template puts them; the frames, the map list and the editor
    // take up what the window has grown by (or give up what a small screen lacks).
    const QSize base = m_units.Size(540, 438);
    const int dx = width() - base.width();
    const int dy = height() - base.height();
    const auto place = [this](QWidget* widget, int x, int y, int w, int h, int growX = 0,
                              int growY = 0) {
        const QRect rect = m_units.Rect(x, y, w, h);
        widget->setGeometry(
            rect.x(), rect.y(),
            growX != 0 ? std::max(rect.width() + growX, m_units.X(40)) : rect.width(),
            growY != 0 ? std::max(rect.height() + growY, m_units.Y(24)) : rect.height());
    };
    place(m_pMapsGroup, 7, 7, 166, 422, 0, dy);
    place(m_pEntitiesGroup, 180, 7, 353, 422, dx, dy);
    place(m_pMapFolder, 17, 48, 143, 12);
    place(m_pBrowse, 110, 27, 50, 14);
    place(m_pMapList, 17, 90, 143, 328, 0, dy);
    // The template's combo height includes its dropped-down list; the field is its own height.
    const QRect comboRect = m_units.Rect(191, 50, 213, 12);
    m_pEntityCombo->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                                std::max(comboRect.height(), m_pEntityCombo->sizeHint().height()));
    place(m_pFind, 417, 48, 50, 14);
    place(m_pEntityText, 191, 100, 332, 318, dx, dy);
    place(m_pDelete, 417, 65, 50, 14);
    place(m_pDeleteAll, 473, 65, 50, 14);
    place(m_pSave, 417, 27, 50, 14);
    place(m_pExit, 473, 27, 50, 14);
    place(m_pMapFolderLabel, 17, 36, 45, 8);
    place(m_pMapTitle, 191, 85, 200, 8);
    place(m_pSearchLabel, 191, 38, 200, 8);
    place(m_pFindNext, 473, 48, 50, 14);
    place(m_pMapFilesLabel, 17, 76, 119, 8);
    place(m_pSpawnCounts, 191, 70, 212, 8);
}

void CEntorraDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOutControls();
}

int CEntorraDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CEntorraDlg::OnInitDialog() {
#if defined(Q_OS_WIN)
    AddToSystemMenu(this, IDS_ABOUTBOX, IDM_ABOUTBOX);
#endif
    setWindowIcon(AppIcon());
    FindMapFolder();
    m_pShownMap->Reset();
    m_pSearch->SetSearchPosition(0);
    m_pEntityCombo->setCurrentIndex(0);
    m_pEntityCombo->setFocus(Qt::OtherFocusReason);
    m_pFind->setDefault(true);
    m_dumpLog.Empty();
    m_pSpawnCounts->setText(QString());

    // A map named on the command line is shown as if chosen in the list.
    if (m_setup.startMap) {
        const auto found = std::find(m_mapNames.begin(), m_mapNames.end(), *m_setup.startMap);
        if (found != m_mapNames.end()) {
            m_pMapList->setCurrentRow(static_cast<int>(found - m_mapNames.begin()));
        }
    }
}

void CEntorraDlg::FindMapFolder() {
    // The search runs also for a folder from the command line: the first-run warning depends
    // on the stored folder alone.
    const FoundMapFolder found = entorra::FindMapFolder(*m_setup.settings, Prompt(), m_setup.rules);
    m_strMapFolder = m_setup.startFolder ? *m_setup.startFolder : found.folder;
    if (FillMapList(MapPattern(m_strMapFolder)) == 0) {
        OnBrowse();
    }
}

void CEntorraDlg::StoreMapFolder() {
    entorra::StoreMapFolder(*m_setup.settings, m_strMapFolder);
}

int CEntorraDlg::FillMapList(const std::string& mapPattern) {
    const QSignalBlocker quiet(m_pMapList);
    m_pMapList->clear();
    m_mapNames = ListMapFiles(mapPattern);
    for (const std::string& name : m_mapNames) {
        m_pMapList->addItem(ToQString(name));
    }
    m_pMapList->setCurrentRow(-1);
    ShowMapFolder();
    m_pMapTitle->setText(QString::fromLatin1(kNoMapLoaded));
    return static_cast<int>(m_mapNames.size());
}

void CEntorraDlg::ShowMapFolder() {
    const QString folder = ToQString(m_strMapFolder);
    m_pMapFolder->setText(folder);
    m_pMapFolder->setCursorPosition(0);
    m_pMapFolder->setToolTip(folder);
}

void CEntorraDlg::OnBrowse() {
    const std::optional<std::string> chosen =
        BrowseForMapFolder(*m_pPicker, m_strMapFolder, m_setup.rules.separator);
    if (!chosen) {
        return;
    }
    m_strMapFolder = *chosen;
    ShowMapFolder();
    FillMapList(MapPattern(m_strMapFolder));
}

int CEntorraDlg::SelectedMapRow() const {
    const QModelIndexList rows = m_pMapList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CEntorraDlg::SelectMapRowQuietly(int row) {
    const QSignalBlocker quiet(m_pMapList);
    if (row < 0) {
        m_pMapList->clearSelection();
    }
    m_pMapList->setCurrentRow(row);
}

void CEntorraDlg::OnSelchangeMapList() {
    ShowSelectedMap();
    m_pSearch->SetSearchPosition(0);
}

void CEntorraDlg::ShowSelectedMap() {
    const CWaitCursor wait;
    const int row = SelectedMapRow();
    if (row < 0) {
        m_pMapTitle->setText(QString::fromLatin1(kNoMapLoaded));
    } else {
        if (!PromptSaveChanges()) {
            // The changes could not be saved: stay on their map rather than drop them.
            const auto shown = std::find(m_mapNames.begin(), m_mapNames.end(), m_strMapName);
            SelectMapRowQuietly(
                shown != m_mapNames.end() ? static_cast<int>(shown - m_mapNames.begin()) : -1);
            return;
        }
        m_strMapName = m_mapNames[static_cast<std::size_t>(row)];
        m_strMapPath = MapPath(m_strMapFolder, m_strMapName);
        if (!m_pShownMap->Show(m_strMapPath)) {
            m_pMapTitle->setText(QString::fromLatin1(kNoMapLoaded));
        } else {
            m_pMapTitle->setText(ToQString(Format("Entities for map %s", m_strMapName.c_str())));
            m_pSpawnCounts->setText(QString::fromLatin1(m_pShownMap->CensusText()));
            // A Find Next after showing a map starts at the top.
            m_pSearch->SetSearchPosition(0);
        }
    }
    m_pEntityText->ClearModified();
}

bool CEntorraDlg::PromptSaveChanges() {
    if (!m_pEntityText->IsModified()) {
        return true;
    }
    if (!Prompt().AskYesNo(
            Format("Do you want to save your changes to the map %s ?", m_strMapName.c_str()))) {
        return true;
    }
    return OnSave();
}

bool CEntorraDlg::OnSave() {
    if (m_pShownMap->Save(m_strMapPath) == 1) {
        return false;  // the edits stay in the editor for another try
    }
    m_pEntityText->ClearModified();
    ShowSelectedMap();
    return true;
}

void CEntorraDlg::OnFind() {
    m_pSearch->OnFind();
}

void CEntorraDlg::OnFindNext() {
    m_pSearch->OnFindNext();
}

void CEntorraDlg::OnDelete() {
    m_pSearch->OnDelete();
}

void CEntorraDlg::OnDeleteAll() {
    m_pSearch->OnDeleteAll();
}

void CEntorraDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CEntorraDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromLatin1(IDS_ABOUTBOX), this, &CEntorraDlg::OnAbout);
    menu.exec(event->globalPos());
}

void CEntorraDlg::done(int result) {
    // Exit, Escape and the close box all end here.
    if (!m_bShutDown && !OnDestroy()) {
        return;
    }
    QDialog::done(result);
}

bool CEntorraDlg::OnDestroy() {
    if (!PromptSaveChanges()) {
        return false;  // the save failed; closing now would lose the changes
    }
    m_bShutDown = true;
    StoreMapFolder();
    m_dumpLog.Write(m_setup.rules.dumpLogPath, Prompt(), m_fileSystem);
    return true;
}

#if defined(Q_OS_WIN)
bool CEntorraDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (IsSystemMenuCommand(message, IDM_ABOUTBOX)) {
        OnAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

}  // namespace entorra
