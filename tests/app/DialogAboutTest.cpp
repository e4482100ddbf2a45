// The About box, from F1 and from the context menu.

#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>
#include <QTimer>

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using DialogAbout = DialogFixture;

TEST_F(DialogAbout, F1AndTheContextMenuItemOpenTheAboutBox) {
    Start();
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));

    QString seen;
    QString version;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        seen = modal->objectName();
        for (QLabel* label : modal->findChildren<QLabel*>()) {
            if (label->text().startsWith(QStringLiteral("Entorra "))) {
                version = label->text();
            }
        }
        modal->findChild<QPushButton*>(QString::fromLatin1(IDOK))->click();
    });
    QTest::keyClick(m_dlg.get(), Qt::Key_F1);
    EXPECT_EQ(seen.toStdString(), "IDD_ABOUTBOX");
    EXPECT_EQ(version.toStdString(), "Entorra " ENTORRA_VERSION);

    QString item;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        item = popup->actions().isEmpty() ? QString() : popup->actions().first()->text();
        popup->close();
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                           m_dlg->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dlg.get(), &menu);
    EXPECT_EQ(item.toStdString(), "&About Entorra...");
}

}  // namespace
}  // namespace entorra::testing
