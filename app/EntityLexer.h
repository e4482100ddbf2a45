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
    // A byte of 0x80-0x9F that the ANSI code page shows as a character has its style moved by
    // this much: the same font, its glyph drawn in the paper's colour, so that the editor can
    // draw the code page's character in its place (Scintilla has no glyph for it).
    static constexpr int kAnsiCharacter = 16;

    explicit CEntityLexer(QObject* parent = nullptr);

    const char* language() const override { return "Entities"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;

    // Colours for a light or a dark background, and the font of every style.
    void SetScheme(bool dark, const QColor& text, const QColor& paper, const QFont& font);
};

}  // namespace entorra
