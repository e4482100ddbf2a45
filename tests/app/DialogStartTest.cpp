// The main dialog as it starts: the controls, their order and captions, the entity list, the map
// list and the layout.

#include <QTest>
#include <array>

#include "entities/EntityClassNames.h"
#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using DialogStart = DialogFixture;

TEST_F(DialogStart, ShowsTheFirstEntityWithFocusNoCensusNoMapAndFindAsDefault) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));

    EXPECT_EQ(Combo()->currentText().toStdString(), "info_player_deathmatch");
    EXPECT_EQ(Combo()->currentIndex(), 0);
    QWidget* focus = m_dlg->focusWidget();
    EXPECT_TRUE(focus == Combo() || focus == Combo()->lineEdit());
    EXPECT_EQ(Census(), "");
    EXPECT_EQ(Title(), "No map loaded");
    EXPECT_TRUE(Control<QPushButton>(IDC_FIND)->isDefault());
    EXPECT_EQ(Editor().GetText(), "");
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_EQ(Editor().GetTextLimit(), 500000);
    EXPECT_EQ(m_dlg->SearchPosition(), 0);
    EXPECT_EQ(m_dlg->windowTitle().toStdString(), "Entorra");
    EXPECT_TRUE(m_prompt.messages.empty());

    ASSERT_EQ(Combo()->count(), static_cast<int>(kEntityClassNames.size()));
    for (int i = 0; i < Combo()->count(); ++i) {
        EXPECT_EQ(Combo()->itemText(i).toStdString(),
                  kEntityClassNames[static_cast<std::size_t>(i)]);
    }
    EXPECT_TRUE(Combo()->isEditable());
    EXPECT_EQ(Combo()->insertPolicy(), QComboBox::NoInsert);
}

TEST_F(DialogStart, ListsTheFolderWithoutRegardToCaseAndSelectsNothing) {
    WriteMap("de_b.bsp", kOtherText);
    WriteMap("Cs_A.BSP", kOtherText);
    WriteMap(".hidden.bsp", kOtherText);
    WriteMap("zz.txt", kOtherText);
    std::filesystem::create_directory(m_folder + "sub.bsp");
    Start();
    EXPECT_EQ(ListedMaps(), (std::vector<std::string>{".hidden.bsp", "Cs_A.BSP", "de_b.bsp"}));
    EXPECT_EQ(SelectedRow(), -1);
    EXPECT_EQ(FolderBox(), m_folder);
    EXPECT_EQ(m_dlg->MapFolder(), m_folder);
}

TEST_F(DialogStart, EveryControlCarriesItsIdentifierAndTheTabOrderIsTheTemplates) {
    Start();
    const std::array<const char*, 11> order = {
        IDC_MAP_FOLDER,  IDC_BROWSE, IDC_MAP_LIST,   IDC_ENTITY_COMBO, IDC_FIND,
        IDC_ENTITY_TEXT, IDC_DELETE, IDC_DELETE_ALL, IDC_SAVE,         IDOK,
        IDC_FIND_NEXT};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* widget = Control<QWidget>(order[i]);
        QWidget* next = widget->nextInFocusChain();
        // Skip what cannot take the focus (labels, frames) and the control's own parts.
        while (next != nullptr &&
               (next->focusPolicy() == Qt::NoFocus || widget->isAncestorOf(next))) {
            next = next->nextInFocusChain();
        }
        while (next != nullptr && next->parentWidget() != m_dlg.get()) {
            next = next->parentWidget();
        }
        EXPECT_EQ(next, Control<QWidget>(order[i + 1]))
            << order[i] << " -> " << (next ? next->objectName().toStdString() : "none") << " "
            << (next ? next->metaObject()->className() : "");
    }
    EXPECT_EQ(Control<QPushButton>(IDC_BROWSE)->text().toStdString(), "&Browse");
    EXPECT_EQ(Control<QPushButton>(IDC_FIND_NEXT)->text().toStdString(), "Find &Next");
    EXPECT_EQ(Control<QPushButton>(IDC_DELETE_ALL)->text().toStdString(), "Delete &All");
    EXPECT_EQ(Control<QPushButton>(IDOK)->text().toStdString(), "E&xit");
}

TEST_F(DialogStart, GrowingTheWindowGrowsTheListAndTheEditorAndLeavesTheButtons) {
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    const CDialogUnits& units = m_dlg->Units();
    m_dlg->resize(units.Size(540, 438));  // the offscreen screen may be smaller
    const QRect editor = Editor().geometry();
    const QRect list = MapList()->geometry();
    const QRect find = Control<QPushButton>(IDC_FIND)->geometry();
    EXPECT_EQ(editor, units.Rect(191, 100, 332, 318));
    EXPECT_EQ(find, units.Rect(417, 48, 50, 14));

    const QSize grown = units.Size(540, 438) + QSize(200, 100);
    m_dlg->resize(grown);
    ASSERT_EQ(m_dlg->size(), grown);
    EXPECT_EQ(Editor().geometry(), editor.adjusted(0, 0, 200, 100));
    EXPECT_EQ(MapList()->geometry(), list.adjusted(0, 0, 0, 100));
    EXPECT_EQ(Control<QPushButton>(IDC_FIND)->geometry(), find);
    EXPECT_EQ(Control<QPushButton>(IDOK)->geometry(), units.Rect(473, 27, 50, 14));
}

}  // namespace
}  // namespace entorra::testing
