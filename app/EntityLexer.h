#pragma once

// Highlighting and folding of entity text: braces, keys, values and the value of "classname";
// each "{" line opens a fold that its "}" line closes. Lines are styled on demand, so a large
// text costs only what is on screen.

#include <Qsci/qscilexercustom.h>

namespace entorra {

class CEntityLexer final : public QsciLexerCustom {
    Q_OBJECT
public:
    enum Style { Default = 0, Brace = 1, Key = 2, Value = 3, ClassName = 4, StyleCount = 5 };

    explicit CEntityLexer(QObject* parent = nullptr);

    const char* language() const override { return "Entities"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;

    // Colours for a light or a dark background, and the font of every style.
    void SetScheme(bool dark, const QColor& text, const QColor& paper, const QFont& font);
};

}  // namespace entorra
