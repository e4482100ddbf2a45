#include <gtest/gtest.h>

#include <string>

#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

// Editor form of three spawn points and a light between them:
//   [0, 39)  info_player_start       [39, 66)  light
//   [66, 105) info_player_start      [105, 144) info_player_start
const std::string kFileText =
    "{\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"classname\" \"light\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n";

class EntitySearchTest : public ::testing::Test {
protected:
    void Show(std::string_view fileText) {
        editor.SetText(MakeEditorText(fileText));
        search.SetSearchPosition(0);
    }
    std::string Selected() {
        const TextSelection selection = editor.GetSelection();
        return std::string(
            editor.BorrowText().substr(static_cast<std::size_t>(selection.start),
                                       static_cast<std::size_t>(selection.end - selection.start)));
    }

    CMemoryEditor editor;
    CFixedSearchString source{"info_player_start"};
    testing::CRecordingSink sink;
    CEntitySearch search{editor, source, sink};
};

TEST_F(EntitySearchTest, GetSearchStringReadsTheSourceAfresh) {
    std::string text = "old";
    EXPECT_EQ(search.GetSearchString(text), 17);
    EXPECT_EQ(text, "info_player_start");
    source.Set("light");
    EXPECT_EQ(search.GetSearchString(text), 5);
    EXPECT_EQ(text, "light");
    source.Set(std::string("ab\0cd", 5));
    EXPECT_EQ(search.GetSearchString(text), 2);
    source.Set("");
    EXPECT_EQ(search.GetSearchString(text), 0);
    EXPECT_EQ(text, "");
}

TEST_F(EntitySearchTest, FindSelectsTheBlockWithItsLineEndAndFindNextWrapsInEditorForm) {
    Show(kFileText);
    const std::string text(editor.BorrowText());
    ASSERT_EQ(text.size(), 144u);

    search.OnFind();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 39}));
    EXPECT_EQ(Selected(), "{\r\n\"classname\" \"info_player_start\"\r\n}\r\n");
    EXPECT_EQ(search.SearchPosition(), 40);
    EXPECT_TRUE(editor.HasFocus());
    EXPECT_EQ(editor.ScrollCount(), 1);
    EXPECT_FALSE(editor.IsModified());

    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{66, 105}));
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{105, 144}));
    // Past the end of the text: the next Find Next starts again at the top.
    EXPECT_EQ(search.SearchPosition(), 145);
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 39}));
    EXPECT_EQ(search.SearchPosition(), 40);

    // Find always starts at the top.
    search.OnFindNext();
    search.OnFind();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 39}));
}

TEST_F(EntitySearchTest, FindNextDoesNotWrapWhenTheTextEndsOtherwise) {
    editor.SetText(MakeEditorText(kFileText) + "\r\n");
    search.OnFind();
    search.OnFindNext();
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{105, 144}));
    EXPECT_EQ(search.SearchPosition(), 145);  // the text is 146 long: not past its end
    const int scrolls = editor.ScrollCount();
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{105, 144}));
    EXPECT_EQ(search.SearchPosition(), 145);
    EXPECT_EQ(editor.ScrollCount(), scrolls);
}

TEST_F(EntitySearchTest, AMissChangesNothing) {
    Show("x info_player_start\n" + kFileText);
    editor.SetSelection(3, 7);
    search.SetSearchPosition(9);
    source.Set("info_vip_start");
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{3, 7}));
    EXPECT_EQ(search.SearchPosition(), 9);
    EXPECT_FALSE(editor.HasFocus());
    // The first occurrence lies before the first "{": nothing although blocks contain it.
    source.Set("info_player_start");
    search.OnFind();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{3, 7}));
    EXPECT_EQ(search.SearchPosition(), 0);
    search.OnDeleteAll();
    EXPECT_EQ(editor.GetText(), MakeEditorText("x info_player_start\n" + kFileText));
    EXPECT_FALSE(editor.IsModified());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EntitySearchTest, AnEmptySearchStringOnlyResetsThePosition) {
    Show(kFileText);
    source.Set("");
    editor.SetSelection(5, 9);
    for (const auto command :
         {&CEntitySearch::OnFind, &CEntitySearch::OnFindNext, &CEntitySearch::OnDeleteAll}) {
        search.SetSearchPosition(17);
        (search.*command)();
        EXPECT_EQ(search.SearchPosition(), command == &CEntitySearch::OnFindNext ? 17 : 0);
        EXPECT_EQ(editor.GetSelection(), (TextSelection{5, 9}));
        EXPECT_FALSE(editor.HasFocus());
    }
    search.SetSearchPosition(17);
    EXPECT_EQ(search.DeleteAll(), 0);
    EXPECT_EQ(search.SearchPosition(), 0);
    EXPECT_FALSE(editor.IsModified());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EntitySearchTest, DeleteAfterFindLandsOnePastTheRemovedBlockAndFindNextGoesOn) {
    Show(kFileText);
    search.OnFind();
    search.OnFindNext();
    ASSERT_EQ(editor.GetSelection(), (TextSelection{66, 105}));
    search.OnDelete();
    EXPECT_EQ(search.SearchPosition(), 67);
    EXPECT_TRUE(editor.IsModified());
    EXPECT_EQ(editor.GetText(), MakeEditorText(kFileText).erase(66, 39));
    EXPECT_EQ(editor.GetSelection(), (TextSelection{66, 66}));
    // The "{" of the next block now lies before the search position; it is still found.
    search.OnFindNext();
    EXPECT_EQ(editor.GetSelection(), (TextSelection{66, 105}));
    EXPECT_EQ(Selected(), "{\r\n\"classname\" \"info_player_start\"\r\n}\r\n");
    editor.Undo();
    EXPECT_EQ(editor.GetText(), MakeEditorText(kFileText));
}

TEST_F(EntitySearchTest, DeleteRemovesAHandMadeSelectionAndNeverGoesBelowZero) {
    Show(kFileText);
    search.SetSearchPosition(50);
    editor.SetSelection(10, 20);
    search.OnDelete();
    EXPECT_EQ(search.SearchPosition(), 40);
    EXPECT_EQ(editor.GetText().size(), 134u);
    editor.SetSelection(0, 60);
    search.OnDelete();
    EXPECT_EQ(search.SearchPosition(), 0);
    // An empty selection: no change to the text or the position.
    search.SetSearchPosition(7);
    editor.SetSelection(4, 4);
    const std::string before = editor.GetText();
    search.OnDelete();
    EXPECT_EQ(editor.GetText(), before);
    EXPECT_EQ(search.SearchPosition(), 7);
}

TEST_F(EntitySearchTest, DeleteAllLeavesTheCaretWhereTheLastBlockStoodAndTheFocusAlone) {
    Show(kFileText);
    search.OnDeleteAll();
    EXPECT_TRUE(editor.IsModified());
    EXPECT_FALSE(editor.HasFocus());
    // The last block stood at 27 in the shortened text, which its CR LF ended, so the
    // position went past the end (and the search from the top found nothing more).
    EXPECT_EQ(editor.GetSelection(), (TextSelection{27, 27}));
    EXPECT_EQ(search.SearchPosition(), 28);
}

struct DeleteAllCase {
    const char* name;
    std::string text;
    const char* searchString;
    std::string after;
    int count;
    int searchPosition;
};

class DeleteAllTest : public ::testing::TestWithParam<DeleteAllCase> {
protected:
    DeleteAllTest() {
        editor.SetText(GetParam().text);
        source.Set(GetParam().searchString);
        search.SetSearchPosition(5);  // Delete All starts at the top whatever it was
    }

    CMemoryEditor editor;
    CFixedSearchString source;
    testing::CRecordingSink sink;
    CEntitySearch search{editor, source, sink};
};

TEST_P(DeleteAllTest, ReportsTheCountAndOneUndoRestoresTheText) {
    search.OnDeleteAll();
    EXPECT_EQ(editor.GetText(), GetParam().after);
    EXPECT_EQ(search.SearchPosition(), GetParam().searchPosition);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.Last(), std::to_string(GetParam().count) +
                               " entities containing the string\n\"" + GetParam().searchString +
                               "\"\nwere deleted.");
    EXPECT_TRUE(editor.IsModified());
    editor.Undo();
    EXPECT_EQ(editor.GetText(), GetParam().text);
    EXPECT_FALSE(editor.CanUndo());
}

TEST_P(DeleteAllTest, AsAValueGivesTheCountAndSaysNothing) {
    EXPECT_EQ(search.DeleteAll(), GetParam().count);
    EXPECT_EQ(editor.GetText(), GetParam().after);
    EXPECT_EQ(search.SearchPosition(), GetParam().searchPosition);
    EXPECT_TRUE(sink.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DeleteAllTest,
    ::testing::Values(
        DeleteAllCase{"ThreeBlocks", MakeEditorText(kFileText), "info_player_start",
                      "{\r\n\"classname\" \"light\"\r\n}\r\n", 3, 28},
        // An occurrence between blocks takes both blocks, in one pass.
        DeleteAllCase{"BetweenBlocks",
                      "{\r\n\"a\"\r\n}\r\nstray\r\n{\r\n\"b\"\r\n}\r\n{\r\n\"c\"\r\n}\r\n", "stray",
                      "{\r\n\"c\"\r\n}\r\n", 1, 1},
        // Block 10..17: position 21 lowered by the 8 characters the limited selection held.
        DeleteAllCase{"BlockEndsTheText", "{\"keep\"}\r\n{\"gone\"}", "gone", "{\"keep\"}\r\n", 1,
                      13},
        // Pass 1 takes "{x}ax" and joins "{" to "x}{"; pass 2 takes the last block up to the
        // end of the text, which sends the search back to the top, where "{" + "x}" is a
        // block now.
        DeleteAllCase{"StartsOverPastTheEnd", "{{x}axx}{\r\nx}", "x", "", 3, 3}),
    [](const ::testing::TestParamInfo<DeleteAllCase>& tested) { return tested.param.name; });

TEST(DeleteAllMessage, NamesTheCountAndTheStringOnLinesOfTheirOwn) {
    EXPECT_EQ(DeleteAllMessage(12, "a \"b\" %d"),
              "12 entities containing the string\n\"a \"b\" %d\"\nwere deleted.");
}

}  // namespace
}  // namespace entorra
