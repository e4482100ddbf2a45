// The main dialog from start-up through one edit: showing a map, searching, deleting, saving.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <array>

#include "app/AboutDlg.h"
#include "bsp/BspFile.h"
#include "bsp/FileText.h"
#include "entities/EntityBlocks.h"
#include "entities/MemoryEditor.h"
#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

const std::array<const char*, 68> kEntityList = {"info_player_deathmatch",
                                                 "info_player_start",
                                                 "info_vip_start",
                                                 "ambient_generic",
                                                 "armoury_entity",
                                                 "button_target",
                                                 "cycler",
                                                 "cycler_sprite",
                                                 "env_beam",
                                                 "env_beverage",
                                                 "env_bubbles",
                                                 "env_explosion",
                                                 "env_glow",
                                                 "env_laser",
                                                 "env_render",
                                                 "env_shake",
                                                 "env_shooter",
                                                 "env_sound",
                                                 "env_spark",
                                                 "env_sprite",
                                                 "func_bomb_target",
                                                 "func_breakable",
                                                 "func_button",
                                                 "func_buyzone",
                                                 "func_conveyor",
                                                 "func_door",
                                                 "func_door_rotating",
                                                 "func_hostage_rescue",
                                                 "func_illusionary",
                                                 "func_ladder",
                                                 "func_pendulum",
                                                 "func_plat",
                                                 "func_pushable",
                                                 "func_rot_button",
                                                 "func_rotating",
                                                 "func_tracktrain",
                                                 "func_train",
                                                 "func_vip_safetyzone",
                                                 "func_wall",
                                                 "func_wall_toggle",
                                                 "func_water",
                                                 "game_counter",
                                                 "game_counter_set",
                                                 "game_team_master",
                                                 "game_text",
                                                 "hostage_entity",
                                                 "info_bomb_target",
                                                 "info_hostage_rescue",
                                                 "info_map_parameters",
                                                 "info_null",
                                                 "info_target",
                                                 "infodecal",
                                                 "light",
                                                 "light_environment",
                                                 "light_spot",
                                                 "multi_manager",
                                                 "multisource",
                                                 "path_corner",
                                                 "path_track",
                                                 "trigger_auto",
                                                 "trigger_camera",
                                                 "trigger_changetarget",
                                                 "trigger_hurt",
                                                 "trigger_multiple",
                                                 "trigger_once",
                                                 "trigger_push",
                                                 "trigger_relay",
                                                 "worldspawn"};

// What CBspFile writes for an editor text into a copy of the map as it was.
fixtures::Bytes ReferenceSave(const std::string& originalMap, std::string editorText,
                              const std::string& scratch) {
    std::filesystem::copy_file(originalMap, scratch,
                               std::filesystem::copy_options::overwrite_existing);
    CRecordingSink sink;
    CBspFile file(sink);
    EXPECT_EQ(file.Load(scratch), 0);
    EXPECT_EQ(file.Save(scratch, editorText), 0);
    return fixtures::ReadFileBytes(scratch);
}

// The block FindEntityBlock finds, as the selection Find makes of it.
TextSelection ExpectedBlock(const std::string& text, const std::string& what, int from) {
    int start = 0;
    int end = 0;
    EXPECT_EQ(FindEntityBlock(what, text, from, start, end), 0) << what;
    return {start, std::min(end + 3, static_cast<int>(text.size()))};
}

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

    ASSERT_EQ(Combo()->count(), 68);
    for (int i = 0; i < 68; ++i) {
        EXPECT_EQ(Combo()->itemText(i).toStdString(), kEntityList[static_cast<std::size_t>(i)]);
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

TEST(DialogUnits, ConvertQuartersOfTheAverageWidthAndEighthsOfTheHeight) {
    const CDialogUnits units(6, 13);  // 8-point MS Sans Serif at 96 dpi
    EXPECT_EQ(units.Size(540, 438), QSize(810, 712));
    EXPECT_EQ(units.Rect(191, 100, 332, 318), QRect(287, 163, 498, 516));
}

using DialogShow = DialogFixture;

TEST_F(DialogShow, ShowsTheEditorFormTitleAndCensusOfTheChosenMap) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kSpawnText));
    EXPECT_EQ(Title(), "Entities for map de_a.bsp");
    EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 1");
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_FALSE(Editor().CanUndo());
    EXPECT_EQ(m_dlg->SearchPosition(), 0);
    EXPECT_EQ(m_dlg->CurrentMapName(), "de_a.bsp");
    EXPECT_EQ(m_dlg->CurrentMapPath(), m_folder + "de_a.bsp");
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DialogShow, CountsBlocksNotOccurrencesAndAMissingClassAsZero) {
    WriteMap("other.bsp", kOtherText);
    Start();
    Select("other.bsp");
    EXPECT_EQ(Census(), "T= 0 CT= 1 VIP= 0");
}

TEST_F(DialogShow, AFailedLoadSaysWhyAndKeepsTheEditorAsItWas) {
    WriteMap("good.bsp", kSpawnText);
    fixtures::WriteFileBytes(m_folder + "old.bsp",
                             fixtures::CMapBuilder().Version(29).EntityText(kOtherText).Build());
    Start();
    Select("good.bsp");
    Select("old.bsp");
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], "BSP is version 29, not 30");
    EXPECT_EQ(Title(), "No map loaded");
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kSpawnText));
    EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 1");
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_EQ(m_dlg->CurrentMapName(), "old.bsp");

    // Nothing is loaded, so Save writes nothing and says nothing.
    const fixtures::Bytes before = fixtures::ReadFileBytes(m_folder + "old.bsp");
    Click(IDC_SAVE);
    EXPECT_EQ(fixtures::ReadFileBytes(m_folder + "old.bsp"), before);
    EXPECT_EQ(m_prompt.messages.size(), 2U);  // the selected map is tried again
}

TEST_F(DialogShow, ABigMapRaisesTheTextLimitToTwiceItsLengthAndASmallOneKeepsIt) {
    const std::string big = fixtures::MakeEntityText(6000);
    WriteMap("big.bsp", big);
    WriteMap("small.bsp", kOtherText);
    Start();
    Select("big.bsp");
    const int length = static_cast<int>(MakeEditorText(big).size());
    ASSERT_GT(length, 250000);
    EXPECT_EQ(Editor().GetTextLimit(), 2 * length);
    Select("small.bsp");
    EXPECT_EQ(Editor().GetTextLimit(), 2 * length);
}

TEST_F(DialogShow, BytesOfEveryKindShowAndSaveBackExactly) {
    const std::string text =
        "{\r\n\"classname\" \"worldspawn\"\r\n\"message\" \"caf\xe9 \x80\xff\xa0\"\r"
        "\"wad\" \"a\rb\"\n}\n{\n\"classname\" \"light\"\r\r\n}\r\n";
    const std::string map = WriteMap("bytes.bsp", text);
    const std::string original = m_dir.File("original.bsp");
    std::filesystem::copy_file(map, original);
    Start();
    Select("bytes.bsp");
    const std::string shown = MakeEditorText(text);
    ASSERT_EQ(Editor().GetText(), shown);
    EXPECT_EQ(Editor().BorrowText(), shown);

    Click(IDC_SAVE);
    EXPECT_EQ(fixtures::ReadFileBytes(map), ReferenceSave(original, shown, m_dir.File("ref.bsp")));
    const std::string saved = FileText(map);
    EXPECT_NE(saved.find("caf\xe9 \x80\xff\xa0\"\r\"wad\" \"a\rb\"\n}\n{\n"), std::string::npos);
    // Shown again as the file now stands.
    std::string written = shown;
    PrepareFileText(written);
    EXPECT_EQ(Editor().GetText(), MakeEditorText(written));
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], "The file:  bytes.bsp\nwas saved!");
}

TEST_F(DialogShow, SaveWritesWhatTheMapFileObjectWritesAndShowsTheMapAgain) {
    const std::string map = WriteMap("de_a.bsp", kSpawnText);
    const std::string original = m_dir.File("original.bsp");
    std::filesystem::copy_file(map, original);
    m_bDump = true;
    Start();
    Select("de_a.bsp");
    SetSearch("info_vip_start");
    Click(IDC_FIND);
    Click(IDC_DELETE);
    const std::string edited = Editor().GetText();
    ASSERT_TRUE(Editor().IsModified());

    Click(IDC_SAVE);
    EXPECT_EQ(fixtures::ReadFileBytes(map), ReferenceSave(original, edited, m_dir.File("ref.bsp")));
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_EQ(Census(), "T= 2 CT= 3 VIP= 0");
    EXPECT_EQ(Title(), "Entities for map de_a.bsp");
    EXPECT_EQ(m_dlg->SearchPosition(), 0);
    // Shown twice: chosen, then again from the file after the save.
    EXPECT_EQ(m_dlg->DumpLog().Text(), MakeEditorText(kSpawnText) + edited);
}

TEST_F(DialogShow, AFailedSaveKeepsTheEditsAndAnotherSaveCanWriteThem) {
    const std::string map = WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    Edit("\r\n");
    const std::string edited = Editor().GetText();
    const fixtures::Bytes before = fixtures::ReadFileBytes(map);

    m_fileSystem.FailAt(FileStep::Write);
    Click(IDC_SAVE);
    ASSERT_TRUE(m_fileSystem.Triggered());
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0].rfind("Error saving the file: de_a.bsp.", 0), 0U);
    EXPECT_EQ(fixtures::ReadFileBytes(map), before);
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());

    Click(IDC_SAVE);
    EXPECT_EQ(m_prompt.messages.back(), "The file:  de_a.bsp\nwas saved!");
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_NE(fixtures::ReadFileBytes(map), before);
}

TEST_F(DialogShow, RealMapsShowTheirTextAndCensusAndSaveAsTheMapFileObjectWrites) {
    const auto maps = SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no shared maps";
    }
    for (const auto& map : maps) {
        std::filesystem::copy_file(map, m_folder + map.filename().string());
    }
    Start();
    for (const auto& map : maps) {
        const std::string name = map.filename().string();
        SCOPED_TRACE(name);
        Select(name);
        CRecordingSink sink;
        CBspFile file(sink);
        ASSERT_EQ(file.Load(map.string()), 0);
        const std::string expected =
            MakeEditorText(std::string_view(file.GetEntityText(), file.EntityTextLength()));
        ASSERT_EQ(Editor().GetText(), expected);

        CMemoryEditor model(expected);
        CFixedSearchString none;
        CEntitySearch census(model, none, sink);
        const int vip = census.CountEntityBlocks("info_vip_start");
        const int ct = census.CountEntityBlocks("info_player_start");
        const int t = census.CountEntityBlocks("info_player_deathmatch");
        EXPECT_EQ(Census(), "T= " + std::to_string(t) + " CT= " + std::to_string(ct) +
                                " VIP= " + std::to_string(vip));

        Click(IDC_SAVE);
        EXPECT_EQ(fixtures::ReadFileBytes(m_folder + name),
                  ReferenceSave(map.string(), expected, m_dir.File("ref.bsp")));
    }
    EXPECT_EQ(m_prompt.messages.size(), maps.size());  // one "was saved!" each
}

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

TEST_F(DialogSearch, ReturnInTheFieldTheListOrTheFolderBoxPressesFindButNotInTheEditor) {
    WriteMap("de_a.bsp", kSpawnText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("de_a.bsp");
    const std::string text = Editor().GetText();
    const TextSelection first = ExpectedBlock(text, "info_player_deathmatch", 0);

    for (QWidget* widget :
         {static_cast<QWidget*>(Combo()->lineEdit()), static_cast<QWidget*>(MapList()),
          static_cast<QWidget*>(Control<QLineEdit>(IDC_MAP_FOLDER))}) {
        Editor().SetSelection(0, 0);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        EXPECT_EQ(Editor().GetSelection(), first) << widget->metaObject()->className();
    }
    EXPECT_EQ(Combo()->count(), 68);

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

using DialogSwitch = DialogFixture;

TEST_F(DialogSwitch, YesSavesThePreviousMapThenShowsTheNewOneTwice) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    const std::string original = m_dir.File("original.bsp");
    std::filesystem::copy_file(a, original);
    m_bDump = true;
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_prompt.answers = {true};
    Select("b.bsp");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map a.bsp ?");
    EXPECT_EQ(fixtures::ReadFileBytes(a), ReferenceSave(original, edited, m_dir.File("ref.bsp")));
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
    EXPECT_EQ(Title(), "Entities for map b.bsp");
    EXPECT_FALSE(Editor().IsModified());
    const std::string b = MakeEditorText(kOtherText);
    EXPECT_EQ(m_dlg->DumpLog().Text(), MakeEditorText(kSpawnText) + b + b);
}

TEST_F(DialogSwitch, NoWritesNothingAndShowsTheNewMap) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);
    Start();
    Select("a.bsp");
    Edit();
    Select("b.bsp");
    EXPECT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogSwitch, NoQuestionWithoutChangesAndAnEmptyNameBeforeAnyMap) {
    WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    Start();
    Select("a.bsp");
    Select("b.bsp");
    EXPECT_TRUE(m_prompt.questions.empty());

    m_dlg.reset();
    Start();
    Edit();
    m_prompt.answers = {true};
    Select("a.bsp");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map  ?");
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kSpawnText));
}

TEST_F(DialogSwitch, AFailedSaveStaysOnTheEditedMap) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_fileSystem.FailAt(FileStep::Replace);
    m_prompt.answers = {true};
    Select("b.bsp");
    EXPECT_TRUE(m_fileSystem.Triggered());
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(m_dlg->CurrentMapName(), "a.bsp");
    EXPECT_EQ(Title(), "Entities for map a.bsp");
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

using DialogAbout = DialogFixture;

TEST_F(DialogAbout, F1AndTheContextMenuItemOpenTheAboutBox) {
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));

    QString seen;
    QString version;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        seen = modal->objectName();
        for (QLabel* label : modal->findChildren<QLabel*>()) {
            if (label->text().startsWith(QStringLiteral("Entorra "))) {
                version = label->text();
            }
        }
        modal->findChild<QPushButton*>(QString::fromLatin1(IDOK))->click();
    });
    QTest::keyClick(m_dlg.get(), Qt::Key_F1);
    EXPECT_EQ(seen.toStdString(), "IDD_ABOUTBOX");
    EXPECT_EQ(version.toStdString(), "Entorra " ENTORRA_VERSION);

    QString item;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        item = popup->actions().isEmpty() ? QString() : popup->actions().first()->text();
        popup->close();
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                           m_dlg->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dlg.get(), &menu);
    EXPECT_EQ(item.toStdString(), "&About Entorra...");
}

}  // namespace
}  // namespace entorra::testing
