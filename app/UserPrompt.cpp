#include "app/UserPrompt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

#include "app/QtText.h"
#include "app/Resource.h"

namespace entorra {
namespace {

// A wait cursor may be on (showing a map can ask a question); the box itself shows the usual
// pointer, and the wait cursor comes back when it closes.
class CCursorPause {
public:
    CCursorPause() {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
            ++m_nCount;
        }
    }
    ~CCursorPause() {
        for (int i = 0; i < m_nCount; ++i) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    CCursorPause(const CCursorPause&) = delete;
    CCursorPause& operator=(const CCursorPause&) = delete;

private:
    int m_nCount = 0;
};

// The save question has Yes and No and nothing else: Escape and the close box would answer
// No, and so throw the changes away unasked, so here they do nothing and the box has no close
// button; only Yes or No ends it.
class CYesNoBox final : public QMessageBox {
public:
    CYesNoBox(const QString& text, QWidget* owner)
        : QMessageBox(QMessageBox::Warning, kAppName, text, QMessageBox::Yes | QMessageBox::No,
                      owner) {
        setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                       Qt::WindowTitleHint);
        setDefaultButton(QMessageBox::Yes);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

}  // namespace

QWidget* CMessageBoxPrompt::Owner() const {
    // Before the dialog shows (the first-run warning), a box of its own, in the screen's middle.
    return m_pOwner != nullptr && m_pOwner->isVisible() ? m_pOwner : nullptr;
}

void CMessageBoxPrompt::ShowMessage(const std::string& text) {
    CCursorPause pause;
    QMessageBox box(QMessageBox::Warning, kAppName, ToQString(text), QMessageBox::Ok, Owner());
    box.exec();
}

bool CMessageBoxPrompt::AskYesNo(const std::string& text) {
    CCursorPause pause;
    CYesNoBox box(ToQString(text), Owner());
    return box.exec() == QMessageBox::Yes;
}

}  // namespace entorra
