#pragma once

// The entity editor as the search and delete commands use it. The dialog implements it over
// its text control; CMemoryEditor implements it for the command-line tool and the tests.
// Offsets are byte offsets into the editor's text, as ints like the search position, so a
// text is at most kMaxEditorTextLength bytes long.

#include <climits>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace entorra {

// Leaves room for the finder's "block end + 4" in an int.
inline constexpr std::size_t kMaxEditorTextLength = INT_MAX - 8;

struct TextSelection {
    int start = 0;
    int end = 0;  // exclusive; start <= end
    friend bool operator==(const TextSelection&, const TextSelection&) = default;
};

// A stretch [start, end) of the text.
struct TextRange {
    int start = 0;
    int end = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

class IEntityEditor {
public:
    virtual ~IEntityEditor() = default;

    // The editor's own text, read in place without a copy. Valid until the next change made
    // through the editor; a NUL byte follows it.
    virtual std::string_view BorrowText() = 0;

    virtual TextSelection GetSelection() const = 0;
    // Offsets past the end of the text are limited to the end.
    virtual void SetSelection(int start, int end) = 0;
    virtual void ScrollCaret() = 0;
    // Replaces the selection as one undoable edit, which sets the modified flag when it
    // changes the text; the caret then stands after the replacement. The commands only ever
    // replace with "".
    virtual void ReplaceSelection(std::string_view replacement) = 0;
    // Deletes the ranges, given in ascending order, not overlapping, as offsets of the text
    // before the call, as one undoable edit. Sets the modified flag when anything is deleted;
    // the caret then stands where the last range was. A control that deletes one range at a
    // time goes from the last range to the first, so the offsets stay valid.
    virtual void DeleteRanges(std::span<const TextRange> ranges) = 0;
    virtual void Focus() = 0;

    virtual bool IsModified() const = 0;
    virtual void ClearModified() = 0;

    // The length up to which typing may fill the editor.
    virtual int GetTextLimit() const = 0;
    virtual void SetTextLimit(int limit) = 0;

    // A new text: no undo history, caret at the beginning, modified flag cleared.
    virtual void SetText(std::string_view text) = 0;
    virtual std::string GetText() const = 0;

    // Edits made between Begin and End are undone together by one Undo. Groups nest.
    virtual void BeginUndoGroup() = 0;
    virtual void EndUndoGroup() = 0;
    virtual void Undo() = 0;
};

}  // namespace entorra
