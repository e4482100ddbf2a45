#include "app/ScintillaEditor.h"

#include <QApplication>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QStaticText>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "app/AnsiText.h"
#include "app/EntityLexer.h"

namespace entorra {
namespace {

using Sci = QsciScintillaBase;

constexpr int kFoldMargin = 2;

unsigned long Pos(int offset) {
    return static_cast<unsigned long>(offset < 0 ? 0 : offset);
}

}  // namespace

CScintillaEditor::CScintillaEditor(QWidget* parent)
    : QsciScintilla(parent),
      m_pLexer(new CEntityLexer(this)),
      m_nTextLimit(static_cast<int>(kMaxEditorTextLength)) {
    // Bytes as they are: no code page, no conversion of what is loaded.
    Send(SCI_SETCODEPAGE, 0);
    setUtf8(false);
    setEolMode(EolWindows);
    setWrapMode(WrapNone);
    setAutoIndent(false);
    setLexer(m_pLexer);
    setMarginLineNumbers(0, true);
    setMarginSensitivity(1, false);
    setMarginWidth(1, 0);
    setFolding(BoxedTreeFoldStyle, kFoldMargin);
    setBraceMatching(SloppyBraceMatch);
    FitScrollWidth({});
    Send(SCI_SETSCROLLWIDTHTRACKING, 1);
    Send(SCI_SETMODEVENTMASK, static_cast<unsigned long>(SC_MODEVENTMASKALL));
    ApplyColours();
    UpdateMarginWidth();

    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, &CScintillaEditor::OnModified);
    connect(this, &QsciScintilla::linesChanged, this, &CScintillaEditor::UpdateMarginWidth);
}

CScintillaEditor::~CScintillaEditor() = default;

int CScintillaEditor::Length() const {
    return static_cast<int>(Send(SCI_GETLENGTH));
}

std::string_view CScintillaEditor::BorrowText() {
    // Scintilla closes its gap and keeps a NUL after the text.
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {text, static_cast<std::size_t>(Length())};
}

TextSelection CScintillaEditor::GetSelection() const {
    return {static_cast<int>(Send(SCI_GETSELECTIONSTART)),
            static_cast<int>(Send(SCI_GETSELECTIONEND))};
}

void CScintillaEditor::SetSelection(int start, int end) {
    const int length = Length();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, 0, length);
    Send(SCI_SETSEL, Pos(start), end);
}

void CScintillaEditor::ScrollCaret() {
    // The whole selection comes into view, its first line first when it is taller than the
    // view; lines that a folded block hides are unfolded.
    const TextSelection selection = GetSelection();
    const long first = Send(SCI_LINEFROMPOSITION, Pos(selection.start));
    const long last =
        Send(SCI_LINEFROMPOSITION,
             Pos(selection.end > selection.start ? selection.end - 1 : selection.end));
    for (long line = first; line <= last; ++line) {
        Send(SCI_ENSUREVISIBLE, static_cast<unsigned long>(line));
    }
    Send(SCI_SCROLLRANGE, Pos(selection.start), selection.end);
}

void CScintillaEditor::ReplaceSelection(std::string_view replacement) {
    const TextSelection selection = GetSelection();
    if (selection.start == selection.end && replacement.empty()) {
        return;  // no change, and the save point stays
    }
    Send(SCI_TARGETFROMSELECTION);
    SendScintilla(SCI_REPLACETARGET, static_cast<std::uintptr_t>(replacement.size()),
                  replacement.data());
    const int caret = selection.start + static_cast<int>(replacement.size());
    Send(SCI_SETEMPTYSELECTION, Pos(caret));
}

void CScintillaEditor::DeleteRanges(std::span<const TextRange> ranges) {
    int removed = 0;
    int caret = 0;
    for (const TextRange& range : ranges) {
        if (range.end > range.start) {
            caret = range.start - removed;
            removed += range.end - range.start;
        }
    }
    if (removed == 0) {
        return;
    }
    // From the back, so the offsets of the ranges still to go stay valid.
    const CQuietChanges quiet(*this);
    Send(SCI_BEGINUNDOACTION);
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        if (range->end > range->start) {
            Send(SCI_DELETERANGE, Pos(range->start), range->end - range->start);
        }
    }
    Send(SCI_ENDUNDOACTION);
    Send(SCI_SETEMPTYSELECTION, Pos(caret));
}

void CScintillaEditor::Focus() {
    setFocus(Qt::OtherFocusReason);
}

bool CScintillaEditor::IsModified() const {
    return Send(SCI_GETMODIFY) != 0;
}

void CScintillaEditor::ClearModified() {
    Send(SCI_SETSAVEPOINT);
}

void CScintillaEditor::SetText(std::string_view text) {
    m_bSettingText = true;
    Send(SCI_SETUNDOCOLLECTION, 0);
    Send(SCI_CLEARALL);
    SendScintilla(SCI_ADDTEXT, static_cast<std::uintptr_t>(text.size()), text.data());
    Send(SCI_SETUNDOCOLLECTION, 1);
    Send(SCI_EMPTYUNDOBUFFER);
    Send(SCI_GOTOPOS, 0);
    Send(SCI_SETSAVEPOINT);
    m_bSettingText = false;
    UpdateMarginWidth();
    FitScrollWidth(text);
}

void CScintillaEditor::FitScrollWidth(std::string_view text) {
    // The longest line in bytes, measured in the bold style, the widest of the lexer's.
    // LF ends most lines and is found fast; a lone CR ends one too, so a piece longer than
    // the longest so far is looked at for it.
    std::size_t longestStart = 0;
    std::size_t longestLength = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t lineFeed = std::min(text.find('\n', start), text.size());
        if (lineFeed - start > longestLength) {
            for (std::size_t piece = start; piece <= lineFeed;) {
                const std::size_t carriageReturn = text.substr(piece, lineFeed - piece).find('\r');
                const std::size_t end =
                    carriageReturn == std::string_view::npos ? lineFeed : piece + carriageReturn;
                if (end - piece > longestLength) {
                    longestStart = piece;
                    longestLength = end - piece;
                }
                piece = end + 1;
            }
        }
        start = lineFeed + 1;
    }
    const std::string longest(text.substr(longestStart, longestLength));
    const long width = SendScintilla(
        SCI_TEXTWIDTH, static_cast<unsigned long>(CEntityLexer::ClassName), longest.c_str());
    // Scintilla widens the range further should a line drawn later need more.
    Send(SCI_SETSCROLLWIDTH, static_cast<unsigned long>(std::max(width, 1L)));
}

CScintillaEditor::Place CScintillaEditor::GetPlace() const {
    Place place;
    place.firstLine = static_cast<int>(
        Send(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(Send(SCI_GETFIRSTVISIBLELINE))));
    place.xOffset = static_cast<int>(Send(SCI_GETXOFFSET));
    place.caret = static_cast<int>(Send(SCI_GETCURRENTPOS));
    return place;
}

void CScintillaEditor::SetPlace(const Place& place) {
    int caret = std::clamp(place.caret, 0, Length());
    // Not between the CR and the LF of a line end.
    if (caret > 0 && Send(SCI_GETCHARAT, Pos(caret - 1)) == '\r' &&
        Send(SCI_GETCHARAT, Pos(caret)) == '\n') {
        --caret;
    }
    Send(SCI_SETEMPTYSELECTION, Pos(caret));
    Send(SCI_SETFIRSTVISIBLELINE,
         static_cast<unsigned long>(Send(SCI_VISIBLEFROMDOCLINE, Pos(place.firstLine))));
    Send(SCI_SETXOFFSET, Pos(place.xOffset));
}

std::string CScintillaEditor::GetText() const {
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return std::string(text, static_cast<std::size_t>(Length()));
}

void CScintillaEditor::BeginUndoGroup() {
    Send(SCI_BEGINUNDOACTION);
}

void CScintillaEditor::EndUndoGroup() {
    Send(SCI_ENDUNDOACTION);
}

void CScintillaEditor::Undo() {
    undo();
}

void CScintillaEditor::undo() {
    const CQuietChanges quiet(*this);
    QsciScintilla::undo();
}

void CScintillaEditor::redo() {
    const CQuietChanges quiet(*this);
    QsciScintilla::redo();
}

CScintillaEditor::CQuietChanges::CQuietChanges(CScintillaEditor& editor)
    : m_editor(editor),
      m_nMask(editor.Send(SCI_GETMODEVENTMASK)),
      m_nLines(static_cast<int>(editor.Send(SCI_GETLINECOUNT))) {
    // A report goes out when any bit of its kind is in the mask, and a change of the text
    // carries the bit of who made it as well: both kinds of bits go.
    const long quiet = m_nMask & ~(SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT | SC_MOD_BEFOREINSERT |
                                   SC_MOD_BEFOREDELETE | SC_PERFORMED_USER | SC_PERFORMED_UNDO |
                                   SC_PERFORMED_REDO | SC_MULTISTEPUNDOREDO |
                                   SC_LASTSTEPINUNDOREDO | SC_STARTACTION | SC_MULTILINEUNDOREDO);
    m_editor.Send(SCI_SETMODEVENTMASK, static_cast<unsigned long>(quiet));
}

CScintillaEditor::CQuietChanges::~CQuietChanges() {
    m_editor.Send(SCI_SETMODEVENTMASK, static_cast<unsigned long>(m_nMask));
    emit m_editor.textChanged();
    if (m_editor.Send(SCI_GETLINECOUNT) != m_nLines) {
        emit m_editor.linesChanged();
    }
}

bool CScintillaEditor::CanUndo() const {
    return Send(SCI_CANUNDO) != 0;
}

void CScintillaEditor::OnModified(int /*position*/, int type, const char* /*text*/, int length,
                                  int /*linesAdded*/, int /*line*/, int /*foldNow*/,
                                  int /*foldPrev*/, int /*token*/, int /*annotationLines*/) {
    if ((type & SC_MOD_INSERTCHECK) != 0) {
        if (!m_bSettingText && std::int64_t{Length()} + length > m_nTextLimit) {
            m_bRefused = true;
            m_bRefusedAtSavePoint = !IsModified();
            SendScintilla(SCI_CHANGEINSERTION, std::uintptr_t{0}, "");
            QApplication::beep();
        }
    } else if ((type & SC_MOD_INSERTTEXT) != 0 && m_bRefused) {
        m_bRefused = false;
        if (m_bRefusedAtSavePoint) {
            Send(SCI_SETSAVEPOINT);
        }
    }
}

void CScintillaEditor::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) {
        undo();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        redo();
        return;
    }
    // Escape belongs to the dialog, which closes on it, as it does from every other control.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !isListActive() &&
        !isCallTipActive()) {
        event->ignore();
        return;
    }
    if (!event->text().isEmpty() && event->text().front().isPrint() &&
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0 &&
        InsertAnsiText(event->text())) {
        event->accept();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

bool CScintillaEditor::InsertAnsiText(const QString& text) {
    // Scintilla turns what Latin-1 lacks into '?'; here the code page's own bytes go in.
    const bool needed = std::any_of(text.begin(), text.end(), [](QChar character) {
        return character.unicode() > 0xFF && AnsiByte(character).has_value();
    });
    if (!needed || isReadOnly()) {
        return false;
    }
    const QByteArray bytes = TextToAnsi(text);
    SendScintilla(SCI_REPLACESEL, 0UL, bytes.constData());
    return true;
}

void CScintillaEditor::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    if (!committed.isEmpty() && InsertAnsiText(committed)) {
        QInputMethodEvent rest(event->preeditString(), event->attributes());
        QsciScintilla::inputMethodEvent(&rest);
        event->accept();
        return;
    }
    QsciScintilla::inputMethodEvent(event);
}

QMimeData* CScintillaEditor::toMimeData(const QByteArray& text, bool rectangular) const {
    QMimeData* mime = QsciScintilla::toMimeData(text, rectangular);
    mime->setText(
        AnsiToText(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))));
    return mime;
}

QByteArray CScintillaEditor::fromMimeData(const QMimeData* source, bool& rectangular) const {
    QByteArray bytes = QsciScintilla::fromMimeData(source, rectangular);
    if (source->hasText()) {
        bytes = TextToAnsi(source->text());
    }
    return bytes;
}

void CScintillaEditor::paintEvent(QPaintEvent* event) {
    QsciScintilla::paintEvent(event);
    PaintAnsiCharacters();
}

void CScintillaEditor::PaintAnsiCharacters() {
    QWidget* view = viewport();
    int textLeft = static_cast<int>(Send(SCI_GETMARGINLEFT));
    for (unsigned long margin = 0; margin < 5; ++margin) {
        textLeft += static_cast<int>(Send(SCI_GETMARGINWIDTHN, margin));
    }
    const int textRight = view->width() - static_cast<int>(Send(SCI_GETMARGINRIGHT));
    QPainter painter(view);
    painter.setClipRect(QRect(textLeft, 0, std::max(textRight - textLeft, 0), view->height()));

    std::vector<TextRange> selections;
    for (unsigned long n = 0, count = static_cast<unsigned long>(Send(SCI_GETSELECTIONS));
         n < count; ++n) {
        selections.push_back({static_cast<int>(Send(SCI_GETSELECTIONNSTART, n)),
                              static_cast<int>(Send(SCI_GETSELECTIONNEND, n))});
    }
    const auto selected = [&selections](int position) {
        return std::any_of(selections.begin(), selections.end(),
                           [position](const TextRange& range) {
                               return position >= range.start && position < range.end;
                           });
    };

    const long caret = Send(SCI_GETCURRENTPOS);
    const int caretWidth = static_cast<int>(Send(SCI_GETCARETWIDTH));
    const long caretRgb = Send(SCI_GETCARETFORE);
    const QColor caretColour(static_cast<int>(caretRgb & 0xFF),
                             static_cast<int>((caretRgb >> 8) & 0xFF),
                             static_cast<int>((caretRgb >> 16) & 0xFF));
    std::array<QFont, CEntityLexer::StyleCount> fonts;
    std::array<QColor, CEntityLexer::StyleCount> colours;
    for (std::size_t style = 0; style < fonts.size(); ++style) {
        fonts[style] = m_pLexer->font(static_cast<int>(style));
        colours[style] = m_pLexer->color(static_cast<int>(style));
    }
    int fontStyle = -1;
    std::vector<char> buffer;
    const long lines = Send(SCI_GETLINECOUNT);
    const long first = Send(SCI_GETFIRSTVISIBLELINE);
    const long shown = Send(SCI_LINESONSCREEN) + 1;
    for (long row = first; row < first + shown; ++row) {
        const long line = Send(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(row));
        if (line >= lines) {
            break;
        }
        // Only the part of the line in view, however long the line.
        const long lineStart = Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const long lineEnd = Send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
        const long y = Send(SCI_POINTYFROMPOSITION, 0, lineStart);
        const long start = std::max(
            lineStart, Send(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textLeft), y) - 1);
        const long end = std::min(
            lineEnd, Send(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textRight), y) + 1);
        if (end <= start) {
            continue;
        }
        buffer.resize(static_cast<std::size_t>(end - start) + 1);
        SendScintilla(SCI_GETTEXTRANGE, start, end, buffer.data());
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        const int height = static_cast<int>(Send(SCI_TEXTHEIGHT, static_cast<unsigned long>(line)));
        for (long i = 0; i < end - start; ++i) {
            if (!IsAnsiTypographic(bytes[i])) {
                continue;
            }
            const long position = start + i;
            const int left = static_cast<int>(Send(SCI_POINTXFROMPOSITION, 0, position));
            const int right = static_cast<int>(Send(SCI_POINTXFROMPOSITION, 0, position + 1));
            if (right <= textLeft || left >= textRight) {
                continue;
            }
            const int top = static_cast<int>(Send(SCI_POINTYFROMPOSITION, 0, position));
            const int style =
                static_cast<int>(Send(SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
            const bool hidden = style >= CEntityLexer::kAnsiCharacter &&
                                style < CEntityLexer::kAnsiCharacter + CEntityLexer::StyleCount;
            const int base = hidden ? style - CEntityLexer::kAnsiCharacter
                                    : (style < CEntityLexer::StyleCount ? style : 0);
            const bool inSelection = selected(static_cast<int>(position));
            const QRect cell(left, top, right - left, height);
            // The lexer's style for the byte draws its box in the paper's colour; in a
            // selection it is drawn in the selection's colour and goes here.
            if (inSelection || !hidden) {
                painter.fillRect(cell, inSelection ? m_selectionBack : m_pLexer->paper(base));
                // A caret after the byte overlaps its cell by a pixel; it stays, unblinking.
                if (caret == position + 1 && hasFocus()) {
                    painter.fillRect(QRect(right - 1, top, caretWidth, height), caretColour);
                }
            }
            if (base != fontStyle) {
                fontStyle = base;
                painter.setFont(fonts[static_cast<std::size_t>(base)]);
            }
            painter.setPen(inSelection ? m_selectionFore : colours[static_cast<std::size_t>(base)]);
            // Laid out once for each style and character, as drawing is most of the cost.
            QStaticText& glyph = m_characterGlyphs[base * 256 + bytes[i]];
            if (glyph.text().isEmpty()) {
                glyph.setTextFormat(Qt::PlainText);
                glyph.setText(QString(AnsiCharacter(bytes[i])));
            }
            DrawCharacter(painter, cell, glyph);
        }
    }
}

void CScintillaEditor::DrawCharacter(QPainter& painter, const QRect& cell,
                                     const QStaticText& character) {
    // In the middle of the cell, where a line of the painter's font would stand in it.
    const QFontMetrics metrics = painter.fontMetrics();
    const int x = cell.left() + (cell.width() - metrics.horizontalAdvance(character.text())) / 2;
    const int y = cell.top() + (cell.height() - metrics.height()) / 2;
    painter.drawStaticText(QPoint(x, y), character);
}

bool CScintillaEditor::focusNextPrevChild(bool next) {
    // Tab moves on to the next control, as from any tab stop of the dialog.
    return QWidget::focusNextPrevChild(next);
}

void CScintillaEditor::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (!m_bApplyingColours &&
        (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)) {
        ApplyColours();
    }
}

void CScintillaEditor::ApplyColours() {
    m_bApplyingColours = true;
    const QPalette colours = palette();
    const QColor paper = colours.color(QPalette::Base);
    const QColor text = colours.color(QPalette::Text);
    m_bDark = paper.lightness() < text.lightness();

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_pLexer->SetScheme(m_bDark, text, paper, font);
    setMarginsFont(font);
    setMarginsBackgroundColor(colours.color(QPalette::Window));
    setMarginsForegroundColor(colours.color(QPalette::PlaceholderText));
    setFoldMarginColors(colours.color(QPalette::Window), colours.color(QPalette::Window));
    setCaretForegroundColor(text);
    m_selectionBack = colours.color(QPalette::Highlight);
    m_selectionFore = colours.color(QPalette::HighlightedText);
    setSelectionBackgroundColor(m_selectionBack);
    setSelectionForegroundColor(m_selectionFore);
    Send(SCI_SETADDITIONALSELBACK,
         static_cast<unsigned long>(m_selectionBack.red() | (m_selectionBack.green() << 8) |
                                    (m_selectionBack.blue() << 16)));
    Send(SCI_SETADDITIONALSELFORE,
         static_cast<unsigned long>(m_selectionFore.red() | (m_selectionFore.green() << 8) |
                                    (m_selectionFore.blue() << 16)));
    setMatchedBraceBackgroundColor(m_bDark ? QColor(0x3a, 0x4d, 0x63) : QColor(0xc8, 0xe1, 0xff));
    setMatchedBraceForegroundColor(text);
    setUnmatchedBraceForegroundColor(m_bDark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc0, 0x00, 0x00));
    m_nMarginDigits = 0;
    UpdateMarginWidth();
    m_characterGlyphs.clear();
    m_bApplyingColours = false;
}

void CScintillaEditor::UpdateMarginWidth() {
    int digits = 1;
    for (long lines = Send(SCI_GETLINECOUNT); lines >= 10; lines /= 10) {
        ++digits;
    }
    if (digits < 3) {
        digits = 3;
    }
    if (digits != m_nMarginDigits) {
        m_nMarginDigits = digits;
        setMarginWidth(0, QString(digits + 1, QLatin1Char('9')));
    }
}

}  // namespace entorra
