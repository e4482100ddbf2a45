// The main dialog as it starts: the controls, their order and captions, the entity list, the map
// list and the layout.

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>
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
    EXPECT_EQ(m_dlg->windowHandle()->title().toStdString(), "Entorra");
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
    QTest::qWait(50);  // nothing resizes the search field behind the layout's back
    EXPECT_EQ(Combo()->x(), units.X(191));
    EXPECT_EQ(Combo()->width(), units.Rect(191, 50, 213, 12).width());

    const QSize grown = units.Size(540, 438) + QSize(200, 100);
    m_dlg->resize(grown);
    ASSERT_EQ(m_dlg->size(), grown);
    EXPECT_EQ(Editor().geometry(), editor.adjusted(0, 0, 200, 100));
    EXPECT_EQ(MapList()->geometry(), list.adjusted(0, 0, 0, 100));
    EXPECT_EQ(Control<QPushButton>(IDC_FIND)->geometry(), find);
    EXPECT_EQ(Control<QPushButton>(IDOK)->geometry(), units.Rect(473, 27, 50, 14));
}

// The desktop font's size in points; 0 for the desktop's own.
class DialogFits : public DialogFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        m_desktopFont = QApplication::font();
        if (GetParam() > 0) {
            QFont font = m_desktopFont;
            font.setPointSize(GetParam());
            QApplication::setFont(font);
        }
    }
    void TearDown() override {
        m_dlg.reset();
        QApplication::setFont(m_desktopFont);
    }

    QFont m_desktopFont;
};

TEST_P(DialogFits, TheLeastSizeShowsEveryControlWholeAndFitsALaptopScreen) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    const QSize least = m_dlg->minimumSize();
    // 1366 x 768 with room for a title bar and a task bar.
    EXPECT_LE(least.width(), 1366);
    EXPECT_LE(least.height(), 768 - 72);
    // The first size fits the screen when the controls leave room for that.
    const QSize available = QApplication::primaryScreen()->availableSize();
    if (least.width() <= available.width() - 40 && least.height() <= available.height() - 60) {
        EXPECT_LE(m_dlg->width(), available.width());
        EXPECT_LE(m_dlg->height(), available.height());
    }

    m_dlg->resize(least);
    ASSERT_EQ(m_dlg->size(), least);
    const std::array<const char*, 11> controls = {
        IDC_MAP_FOLDER,  IDC_BROWSE, IDC_MAP_LIST,   IDC_ENTITY_COMBO, IDC_FIND,
        IDC_ENTITY_TEXT, IDC_DELETE, IDC_DELETE_ALL, IDC_SAVE,         IDOK,
        IDC_FIND_NEXT};
    std::vector<QWidget*> widgets;
    for (const char* name : controls) {
        widgets.push_back(Control<QWidget>(name));
    }
    for (QLabel* label : m_dlg->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        widgets.push_back(label);
    }
    for (QWidget* widget : widgets) {
        const std::string name = widget->objectName().isEmpty()
                                     ? widget->property("text").toString().toStdString()
                                     : widget->objectName().toStdString();
        EXPECT_TRUE(m_dlg->rect().contains(widget->geometry())) << name;
        if (qobject_cast<QPushButton*>(widget) != nullptr ||
            (qobject_cast<QLabel*>(widget) != nullptr && widget->objectName().isEmpty())) {
            EXPECT_GE(widget->width(), widget->sizeHint().width()) << name;
        }
        for (QWidget* other : widgets) {
            if (other != widget) {
                EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
                    << name << " and " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_GE(Editor().height(), 4 * Editor().textHeight(0));
    EXPECT_GT(Combo()->lineEdit()->width(),
              Combo()->fontMetrics().horizontalAdvance(QStringLiteral("info_player_deathmatch")));
}

INSTANTIATE_TEST_SUITE_P(FontSizes, DialogFits, ::testing::Values(0, 12),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == 0 ? std::string("DesktopFont")
                                                      : std::to_string(tested.param) + "Points";
                         });

}  // namespace
}  // namespace entorra::testing
