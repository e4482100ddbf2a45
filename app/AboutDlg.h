#pragma once

#include <QDialog>

namespace entorra {

// The About box: the icon, "Entorra " with the version, and a short credit and feedback text.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace entorra
