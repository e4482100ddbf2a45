#include "app/UserPrompt.h"

#include <QApplication>
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
    QMessageBox box(QMessageBox::Warning, kAppName, ToQString(text),
                    QMessageBox::Yes | QMessageBox::No, Owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace entorra
