#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "entities/MemoryEditor.h"

namespace entorra {
namespace {

TEST(MemoryEditor, SelectionIsOrderedAndLimitedToTheText) {
    CMemoryEditor editor("abcdef");
    editor.SetSelection(2, 100);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{2, 6}));
    editor.SetSelection(5, 1);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{1, 5}));
    editor.SetSelection(-3, 2);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 2}));
}

TEST(MemoryEditor, ReplacingTheSelectionIsUndoableAndSetsTheModifiedFlag) {
    CMemoryEditor editor("abcdef");
    EXPECT_FALSE(editor.IsModified());

    // Nothing selected and nothing inserted: no edit at all.
    editor.SetSelection(3, 3);
    editor.ReplaceSelection("");
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());

    editor.SetSelection(1, 3);
    editor.ReplaceSelection("");
    EXPECT_EQ(editor.GetText(), "adef");
    EXPECT_EQ(editor.GetSelection(), (TextSelection{1, 1}));
    EXPECT_TRUE(editor.IsModified());

    editor.SetSelection(2, 3);
    editor.ReplaceSelection("XYZ");
    EXPECT_EQ(editor.GetText(), "adXYZf");
    EXPECT_EQ(editor.GetSelection(), (TextSelection{5, 5}));

    editor.ClearModified();
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "adef");
    EXPECT_TRUE(editor.IsModified());
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abcdef");
    EXPECT_FALSE(editor.CanUndo());
    editor.Undo();  // nothing left: no harm
    EXPECT_EQ(editor.GetText(), "abcdef");
}

TEST(MemoryEditor, DeletesRangesInOneSweepAndUndoesThemAsOneStep) {
    CMemoryEditor editor("0123456789");
    const std::vector<TextRange> ranges = {{0, 2}, {3, 3}, {4, 7}, {9, 10}};
    editor.DeleteRanges(ranges);
    EXPECT_EQ(editor.GetText(), "2378");
    EXPECT_EQ(editor.GetSelection(), (TextSelection{4, 4}));
    EXPECT_TRUE(editor.IsModified());
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "0123456789");

    // No range, or only empty ones: nothing changes.
    editor.ClearModified();
    editor.DeleteRanges({});
    const std::vector<TextRange> empty = {{5, 5}};
    editor.DeleteRanges(empty);
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());
}

TEST(MemoryEditor, RefusesRangesOutOfOrderOrOutsideTheText) {
    CMemoryEditor editor("0123456789");
    const std::vector<std::vector<TextRange>> bad = {
        {{3, 5}, {4, 6}}, {{5, 6}, {1, 2}}, {{4, 3}}, {{-1, 2}}, {{8, 11}}};
    for (const auto& ranges : bad) {
        EXPECT_THROW(editor.DeleteRanges(ranges), std::invalid_argument);
        EXPECT_EQ(editor.GetText(), "0123456789");
    }
}

TEST(MemoryEditor, AGroupOfEditsIsOneUndoStep) {
    CMemoryEditor editor("abcdefghij");
    editor.SetSelection(0, 1);
    editor.ReplaceSelection("");  // bcdefghij, its own step

    editor.BeginUndoGroup();
    editor.BeginUndoGroup();
    editor.SetSelection(1, 3);
    editor.ReplaceSelection("");  // befghij
    editor.EndUndoGroup();
    const std::vector<TextRange> ranges = {{0, 1}, {5, 7}};
    editor.DeleteRanges(ranges);  // efgh
    editor.SetSelection(0, 0);
    editor.ReplaceSelection(">");  // >efgh
    editor.EndUndoGroup();
    EXPECT_EQ(editor.GetText(), ">efgh");

    editor.Undo();
    EXPECT_EQ(editor.GetText(), "bcdefghij");
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abcdefghij");
    EXPECT_FALSE(editor.CanUndo());
}

TEST(MemoryEditor, SetTextStartsAFreshDocument) {
    CMemoryEditor editor("abc");
    editor.SetSelection(0, 2);
    editor.ReplaceSelection("");
    editor.SetTextLimit(500000);
    editor.SetText("{\r\n}\r\n");
    EXPECT_EQ(editor.GetText(), "{\r\n}\r\n");
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 0}));
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());
    EXPECT_EQ(editor.GetTextLimit(), 500000);
    // The borrowed text is the editor's own, NUL-terminated.
    const std::string_view borrowed = editor.BorrowText();
    EXPECT_EQ(borrowed, "{\r\n}\r\n");
    EXPECT_EQ(borrowed.data()[borrowed.size()], '\0');
}

}  // namespace
}  // namespace entorra
