#include "entities/EntitySearch.h"

#include <cstdint>

#include "base/Format.h"
#include "entities/DeleteAllPlan.h"
#include "entities/EntityBlocks.h"

namespace entorra {

std::string DeleteAllMessage(int count, std::string_view searchString) {
    return Format("%d entities containing the string\n\"%s\"\nwere deleted.", count,
                  std::string(searchString).c_str());
}

int CEntitySearch::GetSearchString(std::string& text) const {
    text = m_source.SearchString();
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    return static_cast<int>(text.size());
}

bool CEntitySearch::FindFromPosition() {
    std::string searchString;
    if (GetSearchString(searchString) < 1) {
        return false;
    }
    const std::string_view text = TextBeforeNul(m_editor.BorrowText());
    int blockStart = 0;
    int blockEnd = 0;
    if (FindEntityBlock(searchString, text, m_nSearchPosition, blockStart, blockEnd) != 0) {
        return false;
    }
    m_editor.Focus();
    m_editor.SetSelection(blockStart, blockEnd + 3);
    m_editor.ScrollCaret();
    m_nSearchPosition = blockEnd + 4;
    return true;
}

void CEntitySearch::OnFind() {
    m_nSearchPosition = 0;
    FindFromPosition();
}

void CEntitySearch::OnFindNext() {
    FindFromPosition();
}

void CEntitySearch::OnDelete() {
    const TextSelection selection = m_editor.GetSelection();
    const std::int64_t position = std::int64_t{m_nSearchPosition} + selection.start - selection.end;
    m_nSearchPosition = position < 0 ? 0 : static_cast<int>(position);
    m_editor.ReplaceSelection("");
}

int CEntitySearch::DeleteAll() {
    m_nSearchPosition = 0;
    std::string searchString;
    if (GetSearchString(searchString) < 1) {
        return 0;
    }
    return DeleteAllOf(searchString);
}

void CEntitySearch::OnDeleteAll() {
    m_nSearchPosition = 0;
    std::string searchString;
    if (GetSearchString(searchString) < 1) {
        return;
    }
    const int count = DeleteAllOf(searchString);
    if (count > 0) {
        m_sink.ShowMessage(DeleteAllMessage(count, searchString));
    }
}

int CEntitySearch::DeleteAllOf(const std::string& searchString) {
    const CSearchString prepared(searchString);

    // Usually one plan covers every pass. When a pass leaves the search position past the end
    // of the text, the next one starts over from the top of the shortened text; that gets a
    // plan of its own. All of it is one undo step.
    int count = 0;
    int caret = 0;
    m_editor.BeginUndoGroup();
    for (;;) {
        const DeleteAllPlan plan =
            PlanDeleteAll(prepared, m_editor.BorrowText(), m_nSearchPosition);
        if (plan.count == 0) {
            break;
        }
        m_editor.DeleteRanges(plan.ranges);
        count += plan.count;
        caret = plan.caret;
        m_nSearchPosition = plan.searchPosition;
        if (!plan.startsOver) {
            break;
        }
    }
    if (count > 0) {
        m_editor.SetSelection(caret, caret);
        m_editor.ScrollCaret();
    }
    m_editor.EndUndoGroup();
    return count;
}

int CEntitySearch::CountEntityBlocks(std::string_view className) {
    m_nSearchPosition = 0;
    return entorra::CountEntityBlocks(className, TextBeforeNul(m_editor.BorrowText()));
}

}  // namespace entorra
