#include "app/DialogUnits.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

namespace entorra {

QFont DialogFont() {
    if (QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))) {
        return QFont(QStringLiteral("MS Sans Serif"), 8);
    }
    return QApplication::font();
}

CDialogUnits::CDialogUnits(const QFont& font) {
    // The average width the way Windows measures it: the 52 letters, halved and rounded.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (letters / 26 + 1) / 2;
    m_nBaseY = metrics.height();
    if (m_nBaseX < 1) {
        m_nBaseX = 1;
    }
    if (m_nBaseY < 1) {
        m_nBaseY = 1;
    }
}

QRect CDialogUnits::Rect(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    return {left, top, X(x + width) - left, Y(y + height) - top};
}

}  // namespace entorra
