#include "app/EditorLint.h"

#include <string>
#include <utility>

#include "app/ScintillaEditor.h"

namespace entorra {

CEditorLint::CEditorLint(CScintillaEditor& editor, QObject* parent)
    : QObject(parent),
      m_editor(editor),
      m_pLatest(std::make_shared<std::atomic<std::uint64_t>>(0)) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMs);
    m_worker.setMaxThreadCount(1);
    connect(&m_pause, &QTimer::timeout, this, &CEditorLint::LintNow);
    // Typing, the Delete commands, undo and redo, and a new text all come through here.
    connect(&m_editor, &QsciScintilla::textChanged, this, &CEditorLint::OnTextChanged);
}

CEditorLint::~CEditorLint() {
    // No worker may outlive the object it reports to.
    m_pLatest->store(~std::uint64_t{0});
    m_worker.clear();
    m_worker.waitForDone();
}

void CEditorLint::OnTextChanged() {
    // Whatever is being linted no longer fits the text.
    m_pLatest->store(++m_nGeneration);
    m_pause.start();
}

void CEditorLint::LintNow() {
    m_pause.stop();
    const std::uint64_t generation = m_nGeneration;
    // A copy: the editor's own buffer moves as the user types.
    const std::string_view text = m_editor.BorrowText();
    auto copy = std::make_shared<std::string>(text);
    const std::shared_ptr<std::atomic<std::uint64_t>> latest = m_pLatest;
    m_worker.start([this, generation, latest, copy = std::move(copy)] {
        if (latest->load() != generation) {
            return;
        }
        EditorLint result = LintEditorText(*copy);
        QMetaObject::invokeMethod(
            this,
            [this, generation, result = std::move(result)]() mutable {
                Deliver(generation, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void CEditorLint::Deliver(std::uint64_t generation, EditorLint result) {
    if (generation != m_nGeneration) {
        ++m_nDropped;
        return;
    }
    m_nApplied = generation;
    m_editor.SetLintMarks(std::move(result.marks));
    emit Marked(result.errors, result.warnings);
}

}  // namespace entorra
