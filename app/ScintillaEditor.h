#pragma once

// The entity editor control: a Scintilla editor behind the core's editor interface. It holds
// the text as bytes (code page 0, bytes in and bytes out), ends the lines it makes with CR LF
// and leaves lone CR and LF bytes alone. The search and delete commands read its text in place.

#include <Qsci/qsciscintilla.h>
#include <QStaticText>

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "entities/EntityEditor.h"

class QPainter;

namespace entorra {

class CEntityLexer;

class CScintillaEditor final : public QsciScintilla, public IEntityEditor {
    Q_OBJECT
public:
    explicit CScintillaEditor(QWidget* parent = nullptr);
    ~CScintillaEditor() override;

    std::string_view BorrowText() override;
    TextSelection GetSelection() const override;
    void SetSelection(int start, int end) override;
    void ScrollCaret() override;
    void ReplaceSelection(std::string_view replacement) override;
    void DeleteRanges(std::span<const TextRange> ranges) override;
    void Focus() override;

    bool IsModified() const override;
    void ClearModified() override;

    int GetTextLimit() const override { return m_nTextLimit; }
    void SetTextLimit(int limit) override { m_nTextLimit = limit; }

    void SetText(std::string_view text) override;
    std::string GetText() const override;

    void BeginUndoGroup() override;
    void EndUndoGroup() override;
    void Undo() override;

    int Length() const;
    bool CanUndo() const;

    // Where the user is in the text: the first line in view, the horizontal scroll and the
    // caret. Setting it again after the text was replaced keeps what the new text allows.
    struct Place {
        int firstLine = 0;
        int xOffset = 0;
        int caret = 0;
    };
    Place GetPlace() const;
    void SetPlace(const Place& place);

    // Undo and redo of many changes at once run as one batch (see CQuietChanges).
    void undo() override;
    void redo() override;
    bool IsDarkScheme() const { return m_bDark; }

    // How a character of the code page that Scintilla cannot draw is drawn in its cell, with
    // the painter's font and pen.
    static void DrawCharacter(QPainter& painter, const QRect& cell, const QStaticText& character);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // The clipboard and drag and drop carry the text as it is shown.
    QMimeData* toMimeData(const QByteArray& text, bool rectangular) const override;
    QByteArray fromMimeData(const QMimeData* source, bool& rectangular) const override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent* event) override;

private:
    // Scintilla reports every single insertion and deletion, and the report of each costs time
    // in proportion to the length of the text (Qt's accessibility offsets). A batch of
    // thousands (Delete All, or its undo) goes unreported and is announced once at its end.
    class CQuietChanges {
    public:
        explicit CQuietChanges(CScintillaEditor& editor);
        ~CQuietChanges();
        CQuietChanges(const CQuietChanges&) = delete;
        CQuietChanges& operator=(const CQuietChanges&) = delete;

    private:
        CScintillaEditor& m_editor;
        long m_nMask;
        int m_nLines;
    };

    void OnModified(int position, int type, const char* text, int length, int linesAdded, int line,
                    int foldNow, int foldPrev, int token, int annotationLines);
    void ApplyColours();
    // Scintilla draws bytes through Latin-1, where 0x80-0x9F are control codes without a
    // glyph; the characters the ANSI code page shows for them are drawn over their boxes.
    void PaintAnsiCharacters();
    // Typed text with characters that Scintilla would turn into '?'; true when inserted.
    bool InsertAnsiText(const QString& text);
    void UpdateMarginWidth();
    // The horizontal scroll range: as wide as the longest line of the text.
    void FitScrollWidth(std::string_view text);
    long Send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const {
        return SendScintilla(message, wParam, lParam);
    }

    CEntityLexer* m_pLexer;
    int m_nTextLimit;
    int m_nMarginDigits = 0;
    bool m_bDark = false;
    std::unordered_map<int, QStaticText> m_characterGlyphs;  // by style * 256 + byte
    QColor m_selectionBack;
    QColor m_selectionFore;
    bool m_bApplyingColours = false;
    bool m_bSettingText = false;
    // An insertion refused for the limit still leaves Scintilla thinking the text changed;
    // these put the save point back when nothing had changed before it.
    bool m_bRefused = false;
    bool m_bRefusedAtSavePoint = false;
};

}  // namespace entorra
