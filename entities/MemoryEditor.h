#pragma once

// The entity editor held in memory: a byte string with a selection, an undo stack and a
// modified flag. The command-line tool runs the dialog's commands on it; tests observe it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EntityEditor.h"

namespace entorra {

class CMemoryEditor final : public IEntityEditor {
public:
    CMemoryEditor() = default;
    explicit CMemoryEditor(std::string_view text) { SetText(text); }

    std::string_view BorrowText() override { return m_strText; }
    TextSelection GetSelection() const override { return m_selection; }
    void SetSelection(int start, int end) override;
    void ScrollCaret() override { ++m_nScrolls; }
    void ReplaceSelection(std::string_view replacement) override;
    void DeleteRanges(std::span<const TextRange> ranges) override;
    void Focus() override { m_bFocus = true; }

    bool IsModified() const override { return m_bModified; }
    void ClearModified() override { m_bModified = false; }

    int GetTextLimit() const override { return m_nTextLimit; }
    void SetTextLimit(int limit) override { m_nTextLimit = limit; }

    void SetText(std::string_view text) override;
    std::string GetText() const override { return m_strText; }

    void BeginUndoGroup() override;
    void EndUndoGroup() override;
    // Undoing is a change too: it sets the modified flag.
    void Undo() override;

    // What a test may want to see of the control's state.
    bool CanUndo() const { return !m_undo.empty(); }
    bool HasFocus() const { return m_bFocus; }
    void LoseFocus() { m_bFocus = false; }
    int ScrollCount() const { return m_nScrolls; }

private:
    // One place of an edit, in offsets of the text before the edit.
    struct Splice {
        std::size_t at;
        std::size_t removed;
        std::size_t inserted;
    };
    // Either splices in ascending order with the bytes they removed, one after another, or,
    // for a batch of deletions, the whole text before it: keeping that costs no copy.
    struct Edit {
        std::vector<Splice> splices;
        std::string removedBytes;
        bool wholeText = false;
        std::string previousText;
        TextSelection previousSelection;
    };

    void Record(Edit edit);
    void Revert(Edit& edit);

    std::string m_strText;
    TextSelection m_selection;
    bool m_bModified = false;
    bool m_bFocus = false;
    int m_nScrolls = 0;
    int m_nTextLimit = static_cast<int>(kMaxEditorTextLength);

    std::vector<std::vector<Edit>> m_undo;  // one entry per undo step
    int m_nGroupDepth = 0;
    bool m_bGroupStepOpen = false;  // the open group has its entry on m_undo already
};

}  // namespace entorra
