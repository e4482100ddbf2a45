// Find, Find Next, Delete and Delete All from the dialog's buttons and keys.

#include <QTest>

#include "entities/EntitySearch.h"
#include "entities/MemoryEditor.h"
#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using DialogSearch = DialogFixture;

TEST_F(DialogSearch, FindSelectsTheBlockWithItsLineEndAndFindNextGoesOnAndWrapsAround) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    SetSearch("info_player_start");

    Click(IDC_FIND);
    TextSelection expected = ExpectedBlock(text, "info_player_start", 0);
    EXPECT_EQ(Editor().GetSelection(), expected);
    EXPECT_EQ(m_dlg->SearchPosition(), expected.end + 1);
    EXPECT_TRUE(Editor().hasFocus() || m_dlg->focusWidget() == &Editor());
    EXPECT_EQ(text.substr(static_cast<std::size_t>(expected.end - 3), 3), "}\r\n");

    for (int i = 0; i < 2; ++i) {
        const int from = m_dlg->SearchPosition();
        Click(IDC_FIND_NEXT);
        EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_start", from));
    }
    const TextSelection third = Editor().GetSelection();
    EXPECT_NE(text.substr(static_cast<std::size_t>(third.start), 40).find("128 -128 36"),
              std::string::npos);

    // Past the last one, Find Next starts over at the top of the text.
    const std::string light = "light";
    SetSearch(light);
    Click(IDC_FIND);
    const TextSelection last = Editor().GetSelection();
    EXPECT_EQ(last.end, static_cast<int>(text.size()));
    EXPECT_EQ(m_dlg->SearchPosition(), static_cast<int>(text.size()) + 1);
    Click(IDC_FIND_NEXT);
    EXPECT_EQ(Editor().GetSelection(), last);
    EXPECT_FALSE(Editor().IsModified());
}

TEST_F(DialogSearch, AStringNotFoundChangesNothingAndAnEmptyOneSearchesNothing) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    SetSearch("info_player_start");
    Click(IDC_FIND);
    const TextSelection selection = Editor().GetSelection();
    const int position = m_dlg->SearchPosition();

    SetSearch("INFO_PLAYER_START");
    Click(IDC_FIND_NEXT);
    EXPECT_EQ(Editor().GetSelection(), selection);
    EXPECT_EQ(m_dlg->SearchPosition(), position);

    SetSearch("");
    Click(IDC_FIND_NEXT);
    EXPECT_EQ(m_dlg->SearchPosition(), position);
    Click(IDC_FIND);
    EXPECT_EQ(m_dlg->SearchPosition(), 0);
    EXPECT_EQ(Editor().GetSelection(), selection);
    Click(IDC_DELETE_ALL);
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogSearch, DeleteRemovesTheFoundBlockAndFindNextGoesOnWithTheNext) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    std::string text = Editor().GetText();
    SetSearch("info_player_start");
    Click(IDC_FIND);
    const TextSelection first = Editor().GetSelection();
    Click(IDC_DELETE);
    text.erase(static_cast<std::size_t>(first.start),
               static_cast<std::size_t>(first.end - first.start));
    EXPECT_EQ(Editor().GetText(), text);
    EXPECT_EQ(m_dlg->SearchPosition(), first.start + 1);
    EXPECT_TRUE(Editor().IsModified());

    Click(IDC_FIND_NEXT);
    EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_start", first.start + 1));
    EXPECT_EQ(Editor().GetSelection().start, first.start);
}

TEST_F(DialogSearch, DeleteAllRemovesEveryBlockReportsTheCountAndOneUndoBringsThemBack) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    SetSearch("info_player_start");
    Click(IDC_DELETE_ALL);
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0],
              "3 entities containing the string\n\"info_player_start\"\nwere deleted.");
    // The same command on the editor in memory gives the same text.
    CMemoryEditor model(text);
    CFixedSearchString search("info_player_start");
    CRecordingSink sink;
    CEntitySearch modelSearch(model, search, sink);
    modelSearch.OnDeleteAll();
    EXPECT_EQ(Editor().GetText(), model.GetText());
    EXPECT_EQ(Editor().GetText().find("info_player_start"), std::string::npos);
    EXPECT_EQ(m_dlg->SearchPosition(), modelSearch.SearchPosition());
    EXPECT_EQ(Editor().GetSelection(), model.GetSelection());
    EXPECT_TRUE(Editor().IsModified());

    Editor().Undo();
    EXPECT_EQ(Editor().GetText(), text);
    SetSearch("nothing_like_it");
    Click(IDC_DELETE_ALL);
    EXPECT_EQ(m_prompt.messages.size(), 1U);
}

TEST_F(DialogSearch, ChoosingFromTheListFindsAtOnceTypingDoesNot) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    Combo()->setFocus();
    QTest::keyClick(Combo(), Qt::Key_Down);  // to "info_player_start"
    EXPECT_EQ(Combo()->currentText().toStdString(), "info_player_start");
    EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_start", 0));

    Editor().SetSelection(0, 0);
    QTest::keyClicks(Combo()->lineEdit(), "x");
    EXPECT_EQ(Editor().GetSelection(), (TextSelection{0, 0}));
    EXPECT_EQ(Combo()->count(), 68);
}

// Where Return is pressed: the combo box's field, the map list, the map folder box.
enum class ReturnIn { ComboField, MapList, FolderBox };

class DialogReturn : public DialogFixture, public ::testing::WithParamInterface<ReturnIn> {
protected:
    QWidget* Target() const {
        switch (GetParam()) {
            case ReturnIn::ComboField:
                return Combo()->lineEdit();
            case ReturnIn::MapList:
                return MapList();
            case ReturnIn::FolderBox:
                return Control<QLineEdit>(IDC_MAP_FOLDER);
        }
        return nullptr;
    }
};

TEST_P(DialogReturn, PressesFind) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    Editor().SetSelection(0, 0);
    QWidget* widget = Target();
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_deathmatch", 0));
    EXPECT_EQ(Combo()->count(), 68);
    EXPECT_FALSE(Editor().IsModified());
}

std::string FieldName(const ::testing::TestParamInfo<ReturnIn>& info) {
    static const char* const kNames[] = {"ComboField", "MapList", "FolderBox"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Fields, DialogReturn,
                         ::testing::Values(ReturnIn::ComboField, ReturnIn::MapList,
                                           ReturnIn::FolderBox),
                         FieldName);

TEST_F(DialogSearch, ReturnInTheEditorBreaksTheLineInsteadOfPressingFind) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    Editor().setFocus();
    Editor().SetSelection(0, 0);
    const int position = m_dlg->SearchPosition();
    QTest::keyClick(&Editor(), Qt::Key_Return);
    EXPECT_EQ(Editor().GetText(), "\r\n" + text);
    EXPECT_EQ(m_dlg->SearchPosition(), position);
    EXPECT_TRUE(Editor().IsModified());
}

TEST_F(DialogSearch, TypedLettersBeyondLatin1SearchNothing) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    Combo()->setEditText(QStringLiteral("light\u2603"));
    Click(IDC_FIND);
    EXPECT_EQ(Editor().GetSelection(), (TextSelection{0, 0}));
    Combo()->setEditText(QStringLiteral("\u00e9"));  // a Latin-1 letter is one byte
    Click(IDC_DELETE_ALL);
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogSearch, TypingAnEntryAndClosingWhileTheFieldHasTheFocusIsSafe) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
    Select("de_a.bsp");
    Combo()->lineEdit()->setFocus();
    Combo()->lineEdit()->selectAll();
    QTest::keyClicks(Combo()->lineEdit(), "light");
    m_dlg.reset();  // the field loses the focus while the dialog goes
    SUCCEED();
}

}  // namespace
}  // namespace entorra::testing
