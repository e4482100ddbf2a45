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
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <array>

#include "app/AboutDlg.h"
#include "app/AnsiText.h"
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
constexpr const char* kNothingToSaveInto = "No map is loaded to save into.\nChoose a map first.";
constexpr const char* kMapNotRead = "No map is loaded to save into.\nThe map %s could not be read.";

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
    const std::optional<QByteArray> bytes = TextToAnsiExactly(text);
    return bytes ? std::string(bytes->constData(), static_cast<std::size_t>(bytes->size()))
                 : std::string();
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
    setFont(DialogFont());
    CreateControls();
    m_pShownMap = std::make_unique<CShownMap>(*m_pEntityText, *m_pPrompt, m_fileSystem, &m_dumpLog);
    m_searchSource.SetCombo(m_pEntityCombo);
    m_pSearch = std::make_unique<CEntitySearch>(*m_pEntityText, m_searchSource, *m_pPrompt);

    // Sizes that the controls need are known once the style has seen them.
    ensurePolished();
    setMinimumSize(NeededSize());
    resize(FirstSize());
    LayOutControls();
    UpdateWindowTitle();
    connect(m_pEntityText, &QsciScintilla::modificationChanged, this, &QWidget::setWindowModified);
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
    // A choice from the list, by mouse, wheel or arrow keys, searches at once. Qt also takes
    // the end of typing (the field losing the focus, or Return) for a choice when the text
    // equals an entry; that would search unasked, so the field's end of typing only moves
    // the list to the matching entry, quietly.
    QLineEdit* field = m_pEntityCombo->lineEdit();
    disconnect(field, &QLineEdit::editingFinished, m_pEntityCombo, nullptr);
    connect(field, &QLineEdit::editingFinished, this, [this] {
        const int row = m_pEntityCombo->findText(m_pEntityCombo->currentText(),
                                                 Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (row >= 0 && row != m_pEntityCombo->currentIndex()) {
            const QSignalBlocker quiet(m_pEntityCombo);
            m_pEntityCombo->setCurrentIndex(row);
        }
    });
    connect(m_pEntityCombo, &QComboBox::activated, this, [this](int) { OnFind(); });
    // The list cannot be left without a selection by the user; only a chosen map counts.
    connect(m_pMapList, &QListWidget::itemSelectionChanged, this, [this] {
        if (SelectedMapRow() >= 0) {
            OnSelchangeMapList();
        }
    });
    // Keys of habit beside the mnemonics.
    const auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* key = new QShortcut(keys, this);
        connect(key, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_F1), &CEntorraDlg::OnAbout);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { OnSave(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), &CEntorraDlg::FocusSearchField);
    shortcut(QKeySequence(Qt::Key_F3), &CEntorraDlg::OnFindNext);
}

namespace {

// The template's size, in dialog units.
constexpr int kTemplateWidth = 540;
constexpr int kTemplateHeight = 438;
// The least height of the editor and the map list, in dialog units: a few lines.
constexpr int kLeastEditorHeight = 64;

int WidestHint(std::initializer_list<const QWidget*> widgets) {
    int widest = 0;
    for (const QWidget* widget : widgets) {
        widest = std::max(widest, widget->sizeHint().width());
    }
    return widest;
}

// The width of a combo box's field that shows its longest entry whole.
int WidthForEntries(const QComboBox& combo) {
    const QFontMetrics metrics(combo.font());
    int text = 0;
    for (int row = 0; row < combo.count(); ++row) {
        text = std::max(text, metrics.horizontalAdvance(combo.itemText(row)));
    }
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    return combo.style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, metrics.height()), &combo)
        .width();
}

}  // namespace

// Where the controls go in a window of the given width and height. At the template's size and
// above, every control stands where the template puts it, and the frames, the map list and the
// editor take up what the window has grown by. A narrower window moves the buttons in from the
// right and narrows the search field; a button or label whose text needs more room than the
// template gives (a large desktop font) gets that room.
struct CEntorraDlg::CLayout {
    QRect mapsGroup, entitiesGroup, mapFolder, browse, mapList, combo, find, editor, del, deleteAll,
        save, exit, mapFolderLabel, mapTitle, searchLabel, findNext, mapFilesLabel, spawnCounts;
};

CEntorraDlg::CLayout CEntorraDlg::Layout(int width, int height) const {
    const CDialogUnits& u = m_units;
    // Distances from the window's right and bottom edges, as the template has them.
    const int right = width - (u.X(kTemplateWidth) - u.X(523));
    const int bottom = height - (u.Y(kTemplateHeight) - u.Y(418));
    const int groupBottom = height - (u.Y(kTemplateHeight) - u.Y(429));
    const int groupRight = width - (u.X(kTemplateWidth) - u.X(533));
    const auto rows = [&](const QRect& rect, int newBottom) {
        return QRect(rect.left(), rect.top(), rect.width(), std::max(newBottom - rect.top(), 0));
    };
    // A button column ends at `end` at most; it is as wide as its widest caption needs.
    const auto column = [&](int x, int w, int end, std::initializer_list<const QWidget*> buttons) {
        const QRect rect = u.Rect(x, 0, w, 0);
        const int needed = std::max(rect.width(), WidestHint(buttons));
        const int left = std::min(rect.left() + needed, end) - needed;
        return std::pair<int, int>(left, needed);
    };

    CLayout layout;
    layout.mapsGroup = rows(u.Rect(7, 7, 166, 422), groupBottom);
    const QRect entities = u.Rect(180, 7, 353, 422);
    layout.entitiesGroup =
        QRect(entities.left(), entities.top(), std::max(groupRight - entities.left(), 0),
              std::max(groupBottom - entities.top(), 0));
    layout.mapFolder = u.Rect(17, 48, 143, 12);
    const auto [browseX, browseW] = column(110, 50, layout.mapFolder.right() + 1, {m_pBrowse});
    layout.browse = QRect(browseX, u.Y(27), browseW, u.Rect(110, 27, 50, 14).height());
    layout.mapList = rows(u.Rect(17, 90, 143, 328), bottom);
    layout.mapFolderLabel = u.Rect(17, 36, 45, 8);
    layout.mapFolderLabel.setWidth(
        std::max(layout.mapFolderLabel.width(), m_pMapFolderLabel->sizeHint().width()));
    layout.mapFilesLabel = u.Rect(17, 76, 119, 8);

    // The buttons: the right column first, then the left one beside it.
    const int gap = u.X(473) - u.X(467);
    const auto [rightX, rightW] = column(473, 50, right, {m_pExit, m_pFindNext, m_pDeleteAll});
    const auto [leftX, leftW] = column(417, 50, rightX - gap, {m_pSave, m_pFind, m_pDelete});
    const auto button = [&](int x, int w, int y) {
        return QRect(x, u.Y(y), w, u.Rect(0, y, 0, 14).height());
    };
    layout.save = button(leftX, leftW, 27);
    layout.exit = button(rightX, rightW, 27);
    layout.find = button(leftX, leftW, 48);
    layout.findNext = button(rightX, rightW, 48);
    layout.del = button(leftX, leftW, 65);
    layout.deleteAll = button(rightX, rightW, 65);

    // The search field and the labels beside the buttons end before the left column.
    const int beforeButtons = leftX - (u.X(417) - u.X(404));
    const QRect comboRect = u.Rect(191, 50, 213, 12);
    layout.combo =
        QRect(comboRect.left(), comboRect.top(),
              std::max(std::min(comboRect.right() + 1, beforeButtons) - comboRect.left(), 0),
              std::max(comboRect.height(), m_pEntityCombo->sizeHint().height()));
    const auto label = [&](int x, int y, int w, int h, int end) {
        const QRect rect = u.Rect(x, y, w, h);
        return QRect(rect.left(), rect.top(),
                     std::max(std::min(rect.right() + 1, end) - rect.left(), 0), rect.height());
    };
    layout.searchLabel = label(191, 38, 200, 8, beforeButtons);
    layout.spawnCounts = label(191, 70, 212, 8, beforeButtons);
    // Below the buttons the map's title may use the editor's width.
    const QRect title = u.Rect(191, 85, 200, 8);
    layout.mapTitle =
        QRect(title.left(), title.top(), std::max(right - title.left(), 0), title.height());
    const QRect editor = u.Rect(191, 100, 332, 318);
    layout.editor = QRect(editor.left(), editor.top(), std::max(right - editor.left(), 0),
                          std::max(bottom - editor.top(), 0));
    return layout;
}

QSize CEntorraDlg::NeededSize() const {
    const CDialogUnits& u = m_units;
    // The search field shows the longest entity name; the columns of buttons their captions.
    const int comboWidth =
        std::min(WidthForEntries(*m_pEntityCombo), u.Rect(191, 0, 213, 0).width());
    const CLayout wide = Layout(u.X(kTemplateWidth), u.Y(kTemplateHeight));
    const int buttons = wide.exit.right() + 1 - wide.save.left();
    const int width =
        u.X(191) + comboWidth + (u.X(417) - u.X(404)) + buttons + (u.X(kTemplateWidth) - u.X(523));
    const int height = u.Y(100) + u.Y(kLeastEditorHeight) + (u.Y(kTemplateHeight) - u.Y(418));
    return {width, height};
}

QSize CEntorraDlg::FirstSize() const {
    // The template's size where the screen has room for it and for the window's frame.
    QSize size = m_units.Size(kTemplateWidth, kTemplateHeight);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        const QSize room = screen->availableSize() - QSize(4 * frame, caption + 4 * frame);
        size = size.boundedTo(room);
    }
    return size.expandedTo(NeededSize());
}

void CEntorraDlg::LayOutControls() {
    const CLayout layout = Layout(width(), height());
    m_pMapsGroup->setGeometry(layout.mapsGroup);
    m_pEntitiesGroup->setGeometry(layout.entitiesGroup);
    m_pMapFolder->setGeometry(layout.mapFolder);
    m_pBrowse->setGeometry(layout.browse);
    m_pMapList->setGeometry(layout.mapList);
    m_pEntityCombo->setGeometry(layout.combo);
    m_pFind->setGeometry(layout.find);
    m_pEntityText->setGeometry(layout.editor);
    m_pDelete->setGeometry(layout.del);
    m_pDeleteAll->setGeometry(layout.deleteAll);
    m_pSave->setGeometry(layout.save);
    m_pExit->setGeometry(layout.exit);
    m_pMapFolderLabel->setGeometry(layout.mapFolderLabel);
    m_pMapTitle->setGeometry(layout.mapTitle);
    m_pSearchLabel->setGeometry(layout.searchLabel);
    m_pFindNext->setGeometry(layout.findNext);
    m_pMapFilesLabel->setGeometry(layout.mapFilesLabel);
    m_pSpawnCounts->setGeometry(layout.spawnCounts);
}

void CEntorraDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // The controls' needs change with the font and the style (once the controls exist).
    if (m_pSpawnCounts != nullptr &&
        (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)) {
        setMinimumSize(NeededSize());
        LayOutControls();
    }
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
    const bool storedEmpty = found.source != MapFolderSource::OwnSetting || found.folder.empty();
    m_bStoreFolder = !m_setup.startFolder || storedEmpty;
    if (FillMapList(MapPattern(m_strMapFolder)) == 0) {
        OnBrowse();
    }
}

void CEntorraDlg::StoreMapFolder() {
    if (m_bStoreFolder) {
        entorra::StoreMapFolder(*m_setup.settings, m_strMapFolder);
    }
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
    m_bStoreFolder = true;
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
    UpdateWindowTitle();
}

void CEntorraDlg::UpdateWindowTitle() {
    const QString app = QString::fromLatin1(kAppName);
    if (!m_pShownMap->File().IsLoaded()) {
        setWindowTitle(app + QStringLiteral("[*]"));
        return;
    }
    // The name the editor's text belongs to; Qt puts a "*" where the "[*]" stands while it
    // holds unsaved changes.
    setWindowTitle(ToQString(m_strMapName) + QStringLiteral("[*] - ") + app);
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
    const CScintillaEditor::Place place = m_pEntityText->GetPlace();
    const int result = m_pShownMap->Save(m_strMapPath);
    if (result == 2) {
        Prompt().ShowMessage(m_strMapName.empty() ? std::string(kNothingToSaveInto)
                                                  : Format(kMapNotRead, m_strMapName.c_str()));
    }
    if (result != 0) {
        // Another program wrote the map since it was shown: the edits stay, unless the user
        // would rather see the map as it is now.
        if (m_pShownMap->File().ChangedOnDisk() &&
            Prompt().AskYesNo(Format("The map %s was changed on disk since it was shown.\nDo you "
                                     "want to show it again? Your changes will be lost.",
                                     m_strMapName.c_str())) &&
            m_pShownMap->Show(m_strMapPath)) {
            m_pMapTitle->setText(ToQString(Format("Entities for map %s", m_strMapName.c_str())));
            m_pSpawnCounts->setText(QString::fromLatin1(m_pShownMap->CensusText()));
            m_pSearch->SetSearchPosition(0);
        }
        // Otherwise the edits stay in the editor, still unsaved, for another try. A map shown
        // again that could not be read leaves nothing loaded.
        if (!m_pShownMap->File().IsLoaded()) {
            m_pMapTitle->setText(QString::fromLatin1(kNoMapLoaded));
        }
        UpdateWindowTitle();
        return false;
    }
    m_pEntityText->ClearModified();
    ShowSelectedMap();
    // The map is shown again from its file: where the user was, as far as the text allows.
    m_pEntityText->SetPlace(place);
    return true;
}

void CEntorraDlg::FocusSearchField() {
    m_pEntityCombo->setFocus(Qt::ShortcutFocusReason);
    m_pEntityCombo->lineEdit()->selectAll();
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
