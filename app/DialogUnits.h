#pragma once

// The dialogs are laid out in dialog units, as their templates give them: a horizontal unit is
// a quarter of the dialog font's average character width, a vertical unit an eighth of its
// height. The font is 8-point "MS Sans Serif" where the system has it, else the system's
// default.

#include <QFont>
#include <QRect>
#include <QSize>

namespace entorra {

QFont DialogFont();

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int averageCharWidth, int charHeight)
        : m_nBaseX(averageCharWidth), m_nBaseY(charHeight) {}

    int X(int units) const { return (units * m_nBaseX + 2) / 4; }
    int Y(int units) const { return (units * m_nBaseY + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

private:
    int m_nBaseX;
    int m_nBaseY;
};

}  // namespace entorra
