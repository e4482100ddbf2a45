#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/AppIcon.h"
#include "app/DialogUnits.h"
#include "app/Resource.h"

namespace entorra {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(IDD_ABOUTBOX);
    setWindowTitle(kAppName);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    const CDialogUnits units(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(units.Rect(11, 17, 20, 20));

    auto* name = new QLabel(QStringLiteral("Entorra " ENTORRA_VERSION), this);
    name->setTextFormat(Qt::PlainText);
    name->setGeometry(units.Rect(40, 10, 119, 8));

    auto* credit = new QLabel(this);
    credit->setTextFormat(Qt::PlainText);
    credit->setWordWrap(true);
    credit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    credit->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    credit->setMargin(units.X(2));
    credit->setText(QStringLiteral(
        "Entity editor for the entity lump of Half-Life maps (BSP version 30).\n"
        "Made by Quorvale with Qt and QScintilla.\n"
        "Feedback and bug reports are welcome through the project's issue tracker."));
    credit->setGeometry(units.Rect(40, 29, 181, 64));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(IDOK);
    ok->setDefault(true);
    ok->setGeometry(units.Rect(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.Size(235, 108));
}

}  // namespace entorra
