#include "entities/MemoryEditor.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace entorra {

namespace {

int ClampTo(int offset, std::size_t size) {
    if (offset < 0) {
        return 0;
    }
    return static_cast<std::size_t>(offset) > size ? static_cast<int>(size) : offset;
}

void CheckLength(std::size_t length) {
    if (length > kMaxEditorTextLength) {
        throw std::length_error("the editor holds at most kMaxEditorTextLength bytes");
    }
}

}  // namespace

void CMemoryEditor::SetSelection(int start, int end) {
    start = ClampTo(start, m_strText.size());
    end = ClampTo(end, m_strText.size());
    m_selection = start <= end ? TextSelection{start, end} : TextSelection{end, start};
}

void CMemoryEditor::ReplaceSelection(std::string_view replacement) {
    const auto start = static_cast<std::size_t>(m_selection.start);
    const auto removed = static_cast<std::size_t>(m_selection.end - m_selection.start);
    if (removed == 0 && replacement.empty()) {
        return;
    }
    CheckLength(m_strText.size() - removed + replacement.size());
    Edit edit;
    edit.splices.push_back({start, removed, replacement.size()});
    edit.removedBytes = m_strText.substr(start, removed);
    m_strText.replace(start, removed, replacement);
    const int caret = static_cast<int>(start + replacement.size());
    m_selection = {caret, caret};
    m_bModified = true;
    Record(std::move(edit));
}

void CMemoryEditor::DeleteRanges(std::span<const TextRange> ranges) {
    std::size_t previousEnd = 0;
    std::size_t removed = 0;
    for (const TextRange& range : ranges) {
        if (range.start < 0 || range.end < range.start ||
            static_cast<std::size_t>(range.start) < previousEnd ||
            static_cast<std::size_t>(range.end) > m_strText.size()) {
            throw std::invalid_argument(
                "DeleteRanges needs ascending, disjoint ranges in the text");
        }
        previousEnd = static_cast<std::size_t>(range.end);
        removed += static_cast<std::size_t>(range.end - range.start);
    }
    if (removed == 0) {
        return;
    }

    // One sweep copies what stays; the text as it was becomes the undo step.
    std::string kept;
    kept.reserve(m_strText.size() - removed);
    std::size_t copied = 0;
    std::size_t caret = 0;
    for (const TextRange& range : ranges) {
        const auto start = static_cast<std::size_t>(range.start);
        kept.append(m_strText, copied, start - copied);
        if (range.end > range.start) {
            caret = kept.size();
        }
        copied = static_cast<std::size_t>(range.end);
    }
    kept.append(m_strText, copied, std::string::npos);

    Edit edit;
    edit.wholeText = true;
    edit.previousSelection = m_selection;
    edit.previousText.swap(m_strText);
    m_strText.swap(kept);
    m_selection = {static_cast<int>(caret), static_cast<int>(caret)};
    m_bModified = true;
    Record(std::move(edit));
}

void CMemoryEditor::SetText(std::string_view text) {
    CheckLength(text.size());
    m_strText.assign(text);
    m_selection = {};
    m_undo.clear();
    m_bGroupStepOpen = false;
    m_bModified = false;
}

void CMemoryEditor::BeginUndoGroup() {
    ++m_nGroupDepth;
}

void CMemoryEditor::EndUndoGroup() {
    if (m_nGroupDepth > 0 && --m_nGroupDepth == 0) {
        m_bGroupStepOpen = false;
    }
}

void CMemoryEditor::Record(Edit edit) {
    if (m_nGroupDepth > 0 && m_bGroupStepOpen) {
        m_undo.back().push_back(std::move(edit));
        return;
    }
    m_undo.emplace_back();
    m_undo.back().push_back(std::move(edit));
    m_bGroupStepOpen = m_nGroupDepth > 0;
}

void CMemoryEditor::Undo() {
    if (m_undo.empty()) {
        return;
    }
    std::vector<Edit> step = std::move(m_undo.back());
    m_undo.pop_back();
    m_bGroupStepOpen = false;
    for (auto edit = step.rbegin(); edit != step.rend(); ++edit) {
        Revert(*edit);
    }
    m_bModified = true;
}

void CMemoryEditor::Revert(Edit& edit) {
    if (edit.wholeText) {
        m_strText.swap(edit.previousText);
        m_selection = edit.previousSelection;
        return;
    }
    std::string before;
    before.reserve(m_strText.size() + edit.removedBytes.size());
    std::size_t copied = 0;         // in the edited text
    std::size_t removedCopied = 0;  // in edit.removedBytes
    std::size_t inserted = 0;
    std::size_t removed = 0;
    for (const Splice& splice : edit.splices) {
        const std::size_t at = splice.at + inserted - removed;
        before.append(m_strText, copied, at - copied);
        before.append(edit.removedBytes, removedCopied, splice.removed);
        removedCopied += splice.removed;
        copied = at + splice.inserted;
        inserted += splice.inserted;
        removed += splice.removed;
    }
    before.append(m_strText, copied, std::string::npos);
    m_strText.swap(before);
    const Splice& first = edit.splices.front();
    m_selection = {static_cast<int>(first.at), static_cast<int>(first.at + first.removed)};
}

}  // namespace entorra
