// Find, Find Next, Delete and Delete All from the dialog's buttons and keys.

#include <QAbstractItemView>
#include <QApplication>
#include <QSignalBlocker>
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

// Two light blocks, between others.
const char* const kTwoLights =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"light\"\n\"_light\" \"255 0 0 100\"\n}\n"
    "{\n\"classname\" \"info_null\"\n}\n"
    "{\n\"classname\" \"light\"\n\"_light\" \"0 0 255 100\"\n}\n";

// What the user does after typing an entry's name into the search field.
enum class AfterTyping { ClickFindNext, ClickDelete, Tab };

class DialogTyping : public DialogFixture, public ::testing::WithParamInterface<AfterTyping> {};

TEST_P(DialogTyping, RunsNoSearchEvenWhenTheFieldLosesTheFocus) {
    WriteMap("a.bsp", kTwoLights);
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
    Select("a.bsp");
    const std::string text = Editor().GetText();
    Editor().SetSelection(0, 0);
    Combo()->lineEdit()->setFocus();
    Combo()->lineEdit()->selectAll();
    QTest::keyClicks(Combo()->lineEdit(), "light");
    EXPECT_EQ(Editor().GetSelection(), (TextSelection{0, 0}));

    switch (GetParam()) {
        case AfterTyping::ClickFindNext:
            QTest::mouseClick(Control<QPushButton>(IDC_FIND_NEXT), Qt::LeftButton);
            EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "light", 0));
            break;
        case AfterTyping::ClickDelete:
            QTest::mouseClick(Control<QPushButton>(IDC_DELETE), Qt::LeftButton);
            EXPECT_EQ(Editor().GetText(), text);
            EXPECT_FALSE(Editor().IsModified());
            break;
        case AfterTyping::Tab:
            QTest::keyClick(Combo()->lineEdit(), Qt::Key_Tab);
            EXPECT_NE(m_dlg->focusWidget(), Combo()->lineEdit());
            EXPECT_EQ(Editor().GetSelection(), (TextSelection{0, 0}));
            EXPECT_EQ(m_dlg->SearchPosition(), 0);
            break;
    }
    EXPECT_EQ(Combo()->currentText().toStdString(), "light");
}

std::string AfterTypingName(const ::testing::TestParamInfo<AfterTyping>& tested) {
    static const char* const kNames[] = {"ClickFindNext", "ClickDelete", "Tab"};
    return kNames[static_cast<int>(tested.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogTyping,
                         ::testing::Values(AfterTyping::ClickFindNext, AfterTyping::ClickDelete,
                                           AfterTyping::Tab),
                         AfterTypingName);

// How an entry is chosen from the list.
enum class ListChoice {
    DownInTheClosedList,
    UpInTheClosedList,
    KeysInTheOpenList,
    ClickInTheOpenList
};

class DialogListChoice : public DialogFixture, public ::testing::WithParamInterface<ListChoice> {};

TEST_P(DialogListChoice, FindsTheChosenEntryAtOnce) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    Editor().SetSelection(0, 0);
    Combo()->setFocus();
    QAbstractItemView* list = Combo()->view();
    switch (GetParam()) {
        case ListChoice::DownInTheClosedList:
            QTest::keyClick(Combo(), Qt::Key_Down);
            break;
        case ListChoice::UpInTheClosedList: {
            const QSignalBlocker quiet(Combo());
            Combo()->setCurrentIndex(2);
        }
            QTest::keyClick(Combo(), Qt::Key_Up);
            break;
        case ListChoice::KeysInTheOpenList:
            Combo()->showPopup();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            break;
        case ListChoice::ClickInTheOpenList: {
            Combo()->showPopup();
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            const QRect entry = list->visualRect(list->model()->index(1, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
            break;
        }
    }
    EXPECT_EQ(Combo()->currentText().toStdString(), "info_player_start");
    EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_start", 0));
}

std::string ListChoiceName(const ::testing::TestParamInfo<ListChoice>& tested) {
    static const char* const kNames[] = {"DownInTheClosedList", "UpInTheClosedList",
                                         "KeysInTheOpenList", "ClickInTheOpenList"};
    return kNames[static_cast<int>(tested.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogListChoice,
                         ::testing::Values(ListChoice::DownInTheClosedList,
                                           ListChoice::UpInTheClosedList,
                                           ListChoice::KeysInTheOpenList,
                                           ListChoice::ClickInTheOpenList),
                         ListChoiceName);

// Where the block that Find selects lies before it is found.
enum class FoundBlock { JustAboveTheView, BelowTheView, Folded, TallerThanTheView };

class DialogFindShows : public DialogFixture, public ::testing::WithParamInterface<FoundBlock> {
protected:
    long Sci(unsigned int message, unsigned long wParam = 0, long lParam = 0) const {
        return Editor().SendScintilla(message, wParam, lParam);
    }
    bool LineInView(long line) const {
        const long first = Sci(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
        const long shown =
            Sci(QsciScintillaBase::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(line));
        return Sci(QsciScintillaBase::SCI_GETLINEVISIBLE, static_cast<unsigned long>(line)) != 0 &&
               shown >= first && shown < first + Sci(QsciScintillaBase::SCI_LINESONSCREEN);
    }
    long LineOf(int position) const {
        return Sci(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    }
};

TEST_P(DialogFindShows, TheWholeBlockOrItsFirstLinesAndUnfoldsIt) {
    // Many small blocks, the light block in their middle; a tall one when asked for.
    std::string entities = "{\n\"classname\" \"worldspawn\"\n}\n";
    for (int i = 0; i < 60; ++i) {
        entities +=
            "{\n\"classname\" \"info_null\"\n\"targetname\" \"n" + std::to_string(i) + "\"\n}\n";
        if (i == 30) {
            entities += "{\n\"classname\" \"light\"\n";
            const int lines = GetParam() == FoundBlock::TallerThanTheView ? 200 : 3;
            for (int line = 0; line < lines; ++line) {
                entities += "\"key" + std::to_string(line) + "\" \"value\"\n";
            }
            entities += "}\n";
        }
    }
    WriteMap("a.bsp", entities);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("a.bsp");
    const std::string text = Editor().GetText();
    const TextSelection block = ExpectedBlock(text, "light", 0);
    const long first = LineOf(block.start);
    const long last = LineOf(block.end - 1);
    ASSERT_GT(Sci(QsciScintillaBase::SCI_LINESONSCREEN), 10);

    using Sci_ = QsciScintillaBase;
    switch (GetParam()) {
        case FoundBlock::JustAboveTheView:
            Sci(Sci_::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(last + 1));
            break;
        case FoundBlock::BelowTheView:
            Sci(Sci_::SCI_SETFIRSTVISIBLELINE, 0);
            break;
        case FoundBlock::Folded:
            Sci(Sci_::SCI_COLOURISE, 0, -1);
            Sci(Sci_::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(first - 3));
            Sci(Sci_::SCI_TOGGLEFOLD, static_cast<unsigned long>(first));
            ASSERT_EQ(Sci(Sci_::SCI_GETLINEVISIBLE, static_cast<unsigned long>(first + 1)), 0);
            break;
        case FoundBlock::TallerThanTheView:
            Sci(Sci_::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(last + 5));
            break;
    }
    SetSearch("light");
    Click(IDC_FIND);
    ASSERT_EQ(Editor().GetSelection(), block);
    const long lines = Sci(Sci_::SCI_LINESONSCREEN);
    const long shown = std::min(last, first + lines - 1);
    for (long line = first; line <= shown; ++line) {
        EXPECT_TRUE(LineInView(line)) << "line " << line << " of " << first << "-" << last;
    }
    if (GetParam() == FoundBlock::Folded) {
        EXPECT_NE(Sci(Sci_::SCI_GETFOLDEXPANDED, static_cast<unsigned long>(first)), 0);
    }
}

std::string FoundBlockName(const ::testing::TestParamInfo<FoundBlock>& tested) {
    static const char* const kNames[] = {"JustAboveTheView", "BelowTheView", "Folded",
                                         "TallerThanTheView"};
    return kNames[static_cast<int>(tested.param)];
}

INSTANTIATE_TEST_SUITE_P(Places, DialogFindShows,
                         ::testing::Values(FoundBlock::JustAboveTheView, FoundBlock::BelowTheView,
                                           FoundBlock::Folded, FoundBlock::TallerThanTheView),
                         FoundBlockName);

// Keys pressed in the editor: the keys of habit and the mnemonics beside them.
struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    enum { Saves, FocusesTheSearch, FindsNext } does;
};

class DialogKeys : public DialogFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DialogKeys, RunTheirCommand) {
    const std::string map = WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
    Select("de_a.bsp");
    SetSearch("info_player_start");
    Click(IDC_FIND);
    const std::string text = Editor().GetText();
    const int from = m_dlg->SearchPosition();
    if (GetParam().does == KeyCase::Saves) {
        Edit();
    }
    const std::string edited = Editor().GetText();
    Editor().setFocus();
    QTest::keyClick(&Editor(), GetParam().key, GetParam().modifiers);
    QTest::qWait(300);  // a mnemonic presses its button as a short animation
    switch (GetParam().does) {
        case KeyCase::Saves:
            EXPECT_FALSE(Editor().IsModified());
            EXPECT_NE(FileText(map).find("\"edited\" \"1\""), std::string::npos);
            ASSERT_EQ(m_prompt.messages.size(), 1U);
            EXPECT_EQ(m_prompt.messages[0], "The file:  de_a.bsp\nwas saved!");
            break;
        case KeyCase::FocusesTheSearch:
            EXPECT_TRUE(m_dlg->focusWidget() == Combo() ||
                        m_dlg->focusWidget() == Combo()->lineEdit());
            EXPECT_EQ(Combo()->lineEdit()->selectedText().toStdString(), "info_player_start");
            EXPECT_EQ(Editor().GetText(), edited);
            break;
        case KeyCase::FindsNext:
            EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "info_player_start", from));
            EXPECT_EQ(Editor().GetText(), edited);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    ::testing::Values(KeyCase{"CtrlS", Qt::Key_S, Qt::ControlModifier, KeyCase::Saves},
                      KeyCase{"AltS", Qt::Key_S, Qt::AltModifier, KeyCase::Saves},
                      KeyCase{"CtrlF", Qt::Key_F, Qt::ControlModifier, KeyCase::FocusesTheSearch},
                      KeyCase{"F3", Qt::Key_F3, Qt::NoModifier, KeyCase::FindsNext},
                      KeyCase{"AltN", Qt::Key_N, Qt::AltModifier, KeyCase::FindsNext}),
    [](const ::testing::TestParamInfo<KeyCase>& tested) { return std::string(tested.param.name); });

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

std::string FieldName(const ::testing::TestParamInfo<ReturnIn>& tested) {
    static const char* const kNames[] = {"ComboField", "MapList", "FolderBox"};
    return kNames[static_cast<int>(tested.param)];
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

TEST_F(DialogSearch, TheCodePagesCharactersSearchForTheirBytes) {
    WriteMap("de_a.bsp",
             std::string(kSpawnText) +
                 "{\n\"classname\" \"game_text\"\n\"message\" \"5 \x80 \x93ok\x94\"\n}\n");
    Start();
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    Combo()->setEditText(QStringLiteral("\u20ac \u201cok\u201d"));
    Click(IDC_FIND);
    EXPECT_EQ(Editor().GetSelection(), ExpectedBlock(text, "\x80 \x93ok\x94", 0));
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
