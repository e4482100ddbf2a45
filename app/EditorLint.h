#pragma once

// Lints the editor's text while the user works in it, off the keystroke path: every change of
// the text restarts a short pause, and when the pause runs out a copy of the text is linted on
// a worker thread. Its marks go into the editor only if the text has not changed since the
// copy was taken; a result that an edit has overtaken is dropped, and the marks already shown
// move with the text until the next result comes.

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

#include "app/LintMarks.h"

namespace entorra {

class CScintillaEditor;

class CEditorLint final : public QObject {
    Q_OBJECT
public:
    // The pause after the last change before the text is linted.
    static constexpr int kPauseMs = 400;

    CEditorLint(CScintillaEditor& editor, QObject* parent = nullptr);
    ~CEditorLint() override;
    CEditorLint(const CEditorLint&) = delete;
    CEditorLint& operator=(const CEditorLint&) = delete;

    // Lints the text as it stands, without the pause (a map was just shown).
    void LintNow();
    // True while a change waits for its pause or a lint for its result.
    bool IsPending() const { return m_pause.isActive() || m_nApplied != m_nGeneration; }
    // True while a change waits for its pause.
    bool IsPausing() const { return m_pause.isActive(); }
    // Results dropped because the text changed after their copy was taken.
    int DroppedResults() const { return m_nDropped; }
    // Blocks until the worker has nothing more to do; its result may still be on its way.
    void WaitForWorker() { m_worker.waitForDone(); }

signals:
    // The marks of the text as it stands are in the editor.
    void Marked(int errors, int warnings);

private:
    void OnTextChanged();
    void Deliver(std::uint64_t generation, EditorLint result);

    CScintillaEditor& m_editor;
    QTimer m_pause;
    QThreadPool m_worker;
    // The text's generation: one more at each change. The worker skips a copy that is already
    // out of date when its turn comes.
    std::shared_ptr<std::atomic<std::uint64_t>> m_pLatest;
    std::uint64_t m_nGeneration = 0;
    std::uint64_t m_nApplied = 0;
    int m_nDropped = 0;
};

}  // namespace entorra
