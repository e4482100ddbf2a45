// Showing the chosen map (its text, title and census) and saving it.

#include <QApplication>
#include <QTest>
#include <QWindow>

#include "bsp/FileText.h"
#include "entities/MemoryEditor.h"
#include "entities/ShownMap.h"
#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

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

struct CensusCase {
    const char* name;
    const char* entityText;
    const char* census;
};

class DialogCensus : public DialogFixture, public ::testing::WithParamInterface<CensusCase> {};

TEST_P(DialogCensus, CountsBlocksNotOccurrencesAndAMissingClassAsZero) {
    WriteMap("map.bsp", GetParam().entityText);
    Start();
    Select("map.bsp");
    EXPECT_EQ(Census(), GetParam().census);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, DialogCensus,
    ::testing::Values(
        CensusCase{"AllThree", kSpawnText, "T= 2 CT= 3 VIP= 1"},
        CensusCase{"ClassNamedTwice", kOtherText, "T= 0 CT= 1 VIP= 0"},
        CensusCase{"None", "{\n\"classname\" \"worldspawn\"\n}\n", "T= 0 CT= 0 VIP= 0"},
        CensusCase{"FirstOutsideEveryBlock",
                   "info_vip_start {\n\"classname\" \"info_vip_start\"\n}\n", "T= 0 CT= 0 VIP= 0"}),
    [](const ::testing::TestParamInfo<CensusCase>& tested) { return tested.param.name; });

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

    // Nothing is loaded, so Save writes nothing and says why.
    const fixtures::Bytes before = fixtures::ReadFileBytes(m_folder + "old.bsp");
    Click(IDC_SAVE);
    EXPECT_EQ(fixtures::ReadFileBytes(m_folder + "old.bsp"), before);
    ASSERT_EQ(m_prompt.messages.size(), 2U);
    EXPECT_EQ(m_prompt.messages[1],
              "No map is loaded to save into.\nThe map old.bsp could not be read.");
}

// How it came about that no map is loaded when the user saves.
enum class NothingLoaded { BeforeAnyMap, AfterAFailedLoad };

class DialogNothingLoaded : public DialogFixture,
                            public ::testing::WithParamInterface<NothingLoaded> {};

TEST_P(DialogNothingLoaded, SaveKeepsTheEditsAndSaysNoMapIsLoaded) {
    WriteMap("good.bsp", kSpawnText);
    fixtures::WriteFileBytes(m_folder + "old.bsp",
                             fixtures::CMapBuilder().Version(29).EntityText(kOtherText).Build());
    Start();
    std::string expected = "No map is loaded to save into.\nChoose a map first.";
    switch (GetParam()) {
        case NothingLoaded::BeforeAnyMap:
            Edit();
            break;
        case NothingLoaded::AfterAFailedLoad:
            Select("good.bsp");
            Select("old.bsp");
            Edit();
            expected = "No map is loaded to save into.\nThe map old.bsp could not be read.";
            break;
    }
    const std::string edited = Editor().GetText();
    const std::size_t shown = m_prompt.messages.size();
    Click(IDC_SAVE);
    ASSERT_EQ(m_prompt.messages.size(), shown + 1);
    EXPECT_EQ(m_prompt.messages.back(), expected);
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(m_dlg->windowTitle().toStdString(), "Entorra[*]");

    // So the edits are not dropped unasked: choosing a map asks, and Yes keeps them.
    const int row = SelectedRow();
    m_prompt.answers = {true};
    Select(row == 0 ? "old.bsp" : "good.bsp");
    EXPECT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(SelectedRow(), row);
}

std::string NothingLoadedName(const ::testing::TestParamInfo<NothingLoaded>& tested) {
    static const char* const kNames[] = {"BeforeAnyMap", "AfterAFailedLoad"};
    return kNames[static_cast<int>(tested.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogNothingLoaded,
                         ::testing::Values(NothingLoaded::BeforeAnyMap,
                                           NothingLoaded::AfterAFailedLoad),
                         NothingLoadedName);

// A failed save keeps the map loaded (its file is as it was, or gone), so the map stays shown
// and another Save says the same again.
TEST_F(DialogShow, ASaveOverAFolderPutWhereTheMapWasSaysSoAndKeepsTheMapShown) {
    const std::string good = WriteMap("good.bsp", kSpawnText);
    Start();
    Select("good.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    std::filesystem::remove(good);
    std::filesystem::create_directory(good);
    const std::string expected =
        "Error saving the file: good.bsp.\nIt is a folder, not a map file.";
    for (int attempt = 1; attempt <= 2; ++attempt) {
        Click(IDC_SAVE);
        ASSERT_EQ(m_prompt.messages.size(), static_cast<std::size_t>(attempt));
        EXPECT_EQ(m_prompt.messages.back(), expected);
        EXPECT_EQ(Editor().GetText(), edited);
        EXPECT_TRUE(Editor().IsModified());
        EXPECT_EQ(Title(), "Entities for map good.bsp");
    }
    EXPECT_TRUE(std::filesystem::is_directory(good));
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
        // Real maps are read-only; a copy the user saves is writable.
        std::filesystem::permissions(m_folder + map.filename().string(),
                                     std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
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
        EXPECT_EQ(Census(), SpawnCensusText(CountSpawnCensus(model)));

        Click(IDC_SAVE);
        EXPECT_EQ(fixtures::ReadFileBytes(m_folder + name),
                  ReferenceSave(map.string(), expected, m_dir.File("ref.bsp")));
    }
    EXPECT_EQ(m_prompt.messages.size(), maps.size());  // one "was saved!" each
}

long Sci(CScintillaEditor& editor, unsigned int message, unsigned long wParam = 0,
         long lParam = 0) {
    return editor.SendScintilla(message, wParam, lParam);
}

// Where the caret stood before Save: inside the text, or in text past the last "}" that the
// save trims away.
enum class CaretBefore { InTheText, PastWhatIsWritten };

class DialogSaveKeepsPlace : public DialogFixture,
                             public ::testing::WithParamInterface<CaretBefore> {};

TEST_P(DialogSaveKeepsPlace, TheFirstLineInViewAndTheCaret) {
    WriteMap("big.bsp", fixtures::MakeEntityText(100));
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("big.bsp");
    using S = QsciScintillaBase;
    int caret = static_cast<int>(Sci(Editor(), S::SCI_POSITIONFROMLINE, 130)) + 3;
    if (GetParam() == CaretBefore::PastWhatIsWritten) {
        const int end = Editor().Length();
        Editor().SetSelection(end, end);
        Editor().ReplaceSelection("// trailing words\r\n");
        caret = Editor().Length();
    }
    Sci(Editor(), S::SCI_SETFIRSTVISIBLELINE, 120);
    Sci(Editor(), S::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
    ASSERT_EQ(Sci(Editor(), S::SCI_GETFIRSTVISIBLELINE), 120);

    Click(IDC_SAVE);
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], "The file:  big.bsp\nwas saved!");
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_EQ(Sci(Editor(), S::SCI_GETFIRSTVISIBLELINE), 120);
    const int expected = std::min(caret, Editor().Length());
    EXPECT_EQ(Editor().GetSelection(), (TextSelection{expected, expected}));
}

INSTANTIATE_TEST_SUITE_P(Carets, DialogSaveKeepsPlace,
                         ::testing::Values(CaretBefore::InTheText, CaretBefore::PastWhatIsWritten),
                         [](const ::testing::TestParamInfo<CaretBefore>& tested) {
                             return std::string(tested.param == CaretBefore::InTheText
                                                    ? "InTheText"
                                                    : "PastWhatIsWritten");
                         });

TEST_F(DialogShow, TheTitleNamesTheMapAndMarksUnsavedChanges) {
    WriteMap("de_a.bsp", kSpawnText);
    WriteMap("de_b.bsp", kOtherText);
    fixtures::WriteFileBytes(m_folder + "old.bsp",
                             fixtures::CMapBuilder().Version(29).EntityText(kOtherText).Build());
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    const auto shown = [this] { return m_dlg->windowHandle()->title().toStdString(); };
    EXPECT_EQ(shown(), "Entorra");

    Select("de_a.bsp");
    EXPECT_EQ(shown(), "de_a.bsp - Entorra");
    Edit();
    EXPECT_TRUE(m_dlg->isWindowModified());
    EXPECT_EQ(shown(), "de_a.bsp* - Entorra");
    Editor().Undo();  // back to what the file holds
    EXPECT_EQ(shown(), "de_a.bsp - Entorra");
    Edit();
    Click(IDC_SAVE);
    EXPECT_FALSE(m_dlg->isWindowModified());
    EXPECT_EQ(shown(), "de_a.bsp - Entorra");

    Edit();
    Select("de_b.bsp");  // No to the question: a fresh show
    EXPECT_EQ(shown(), "de_b.bsp - Entorra");
    EXPECT_FALSE(m_dlg->isWindowModified());
    Select("old.bsp");  // a failed load: nothing to save into
    EXPECT_EQ(shown(), "Entorra");
}

TEST_F(DialogShow, TheHorizontalScrollRangeFollowsTheLongestLineOfTheMapShown) {
    const std::string longValue(400, 'w');
    WriteMap("long.bsp", "{\n\"classname\" \"worldspawn\"\n\"message\" \"" + longValue + "\"\n}\n");
    WriteMap("short.bsp", kOtherText);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    using S = QsciScintillaBase;
    const auto widthOf = [this](const std::string& line) {
        return Editor().SendScintilla(S::SCI_TEXTWIDTH, 0UL, line.c_str());
    };
    Select("long.bsp");
    const long longWidth = Sci(Editor(), S::SCI_GETSCROLLWIDTH);
    EXPECT_GE(longWidth, widthOf("\"message\" \"" + longValue + "\""));
    Select("short.bsp");
    const long shortWidth = Sci(Editor(), S::SCI_GETSCROLLWIDTH);
    EXPECT_GE(shortWidth, widthOf("\"target\" \"info_player_start\""));
    EXPECT_LT(shortWidth, longWidth / 4);
}

}  // namespace
}  // namespace entorra::testing
