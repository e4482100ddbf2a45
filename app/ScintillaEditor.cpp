#include "app/ScintillaEditor.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QStaticText>
#include <QToolTip>

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
    // The lint marks' margin, between the line numbers and the folding.
    setMarginType(kLintMargin, SymbolMargin);
    setMarginSensitivity(kLintMargin, false);
    setMarginMarkerMask(kLintMargin, (1 << kErrorMarker) | (1 << kWarningMarker));
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
    DefineLintMarks();
    m_characterGlyphs.clear();
    m_bApplyingColours = false;
}

namespace {

unsigned long Rgb(const QColor& colour) {
    return static_cast<unsigned long>(colour.red() | (colour.green() << 8) | (colour.blue() << 16));
}

}  // namespace

void CScintillaEditor::DefineLintMarks() {
    // Red for what stops the engine, amber for what it changes; a circle and a triangle in the
    // margin, so that they differ without their colours too.
    const QColor error = m_bDark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xd0, 0x10, 0x10);
    const QColor warning = m_bDark ? QColor(0xe5, 0xb0, 0x30) : QColor(0xc0, 0x80, 0x00);
    Send(SCI_INDICSETSTYLE, kErrorIndicator, INDIC_SQUIGGLE);
    Send(SCI_INDICSETFORE, kErrorIndicator, static_cast<long>(Rgb(error)));
    Send(SCI_INDICSETSTYLE, kWarningIndicator, INDIC_SQUIGGLE);
    Send(SCI_INDICSETFORE, kWarningIndicator, static_cast<long>(Rgb(warning)));

    const int lineHeight = static_cast<int>(Send(SCI_TEXTHEIGHT, 0));
    const int side = std::max(7, lineHeight * 5 / 8);
    const qreal ratio = devicePixelRatioF();
    const auto symbol = [&](const QColor& colour, bool circle) {
        QImage image(QSize(side, side) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const QRectF box(0.5, 0.5, side - 1.0, side - 1.0);
        if (circle) {
            painter.drawEllipse(box);
        } else {
            const QPointF corners[3] = {
                {box.center().x(), box.top()}, box.bottomRight(), box.bottomLeft()};
            painter.drawPolygon(corners, 3);
        }
        return image;
    };
    Send(SCI_RGBAIMAGESETSCALE, static_cast<unsigned long>(ratio * 100));
    markerDefine(symbol(error, true), kErrorMarker);
    markerDefine(symbol(warning, false), kWarningMarker);
    setMarginWidth(kLintMargin, side + 6);
}

void CScintillaEditor::SetLintMarks(std::vector<LintMark> marks) {
    // Each underline and margin mark would be reported and repainted on its own; nothing here
    // listens, and the view is repainted once at the end.
    const bool updates = viewport()->updatesEnabled();
    viewport()->setUpdatesEnabled(false);
    const long mask = Send(SCI_GETMODEVENTMASK);
    Send(SCI_SETMODEVENTMASK,
         static_cast<unsigned long>(mask & ~(SC_MOD_CHANGEINDICATOR | SC_MOD_CHANGEMARKER)));
    const long length = Send(SCI_GETLENGTH);
    if (!m_lintMarks.empty()) {
        for (const int indicator : {kErrorIndicator, kWarningIndicator}) {
            Send(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
            Send(SCI_INDICATORCLEARRANGE, 0, length);
        }
        // A few marked lines are found in one pass; many go faster all at once.
        constexpr long kBoth = (1 << kErrorMarker) | (1 << kWarningMarker);
        constexpr std::size_t kFewMarks = 1000;
        if (m_lintMarks.size() > kFewMarks) {
            Send(SCI_MARKERDELETEALL, kErrorMarker);
            Send(SCI_MARKERDELETEALL, kWarningMarker);
        }
        for (long line = Send(SCI_MARKERNEXT, 0, kBoth); line >= 0;
             line = Send(SCI_MARKERNEXT, static_cast<unsigned long>(line + 1), kBoth)) {
            Send(SCI_MARKERDELETE, static_cast<unsigned long>(line), kErrorMarker);
            Send(SCI_MARKERDELETE, static_cast<unsigned long>(line), kWarningMarker);
        }
    }
    m_lintMarks = std::move(marks);
    // A line's margin shows its most severe mark; the marks come by start, so line by line.
    long markedLine = -1;
    bool lineHasError = false;
    const auto markLine = [&] {
        if (markedLine >= 0) {
            Send(SCI_MARKERADD, static_cast<unsigned long>(markedLine),
                 lineHasError ? kErrorMarker : kWarningMarker);
        }
    };
    for (std::size_t i = 0; i < m_lintMarks.size(); ++i) {
        const LintMark& mark = m_lintMarks[i];
        const bool error = mark.severity == LintSeverity::Error;
        const long start = std::clamp<long>(mark.start, 0, length);
        const long end = std::clamp<long>(mark.end, start, length);
        // The value leads back from the underline to its mark.
        Send(SCI_SETINDICATORCURRENT,
             static_cast<unsigned long>(error ? kErrorIndicator : kWarningIndicator));
        Send(SCI_SETINDICATORVALUE, static_cast<unsigned long>(i + 1));
        if (end > start) {
            Send(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), end - start);
        }
        const long line = Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
        if (line != markedLine) {
            markLine();
            markedLine = line;
            lineHasError = false;
        }
        lineHasError = lineHasError || error;
    }
    markLine();
    Send(SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
    viewport()->setUpdatesEnabled(updates);
    viewport()->update();
}

QStringList CScintillaEditor::LintMessagesIn(long from, long to) const {
    QStringList lines;
    std::vector<std::size_t> shown;
    for (const int indicator : {kErrorIndicator, kWarningIndicator}) {
        const auto number = static_cast<unsigned long>(indicator);
        for (long position = from; position < to;) {
            const long value = Send(SCI_INDICATORVALUEAT, number, position);
            if (value > 0 && static_cast<std::size_t>(value) <= m_lintMarks.size()) {
                // Marks on the same bytes share one underline: all of them.
                const LintMark& found = m_lintMarks[static_cast<std::size_t>(value - 1)];
                const auto [first, last] = std::equal_range(
                    m_lintMarks.begin(), m_lintMarks.end(), found,
                    [](const LintMark& a, const LintMark& b) { return a.start < b.start; });
                for (auto mark = first; mark != last; ++mark) {
                    const auto index = static_cast<std::size_t>(mark - m_lintMarks.begin());
                    if (mark->end == found.end && mark->severity == found.severity &&
                        std::find(shown.begin(), shown.end(), index) == shown.end()) {
                        shown.push_back(index);
                        lines.append(QString::fromLatin1(LintSeverityName(mark->severity)) +
                                     QStringLiteral(": ") +
                                     QString::fromLatin1(mark->message.c_str()));
                    }
                }
            }
            const long next = Send(SCI_INDICATOREND, number, position);
            if (next <= position) {
                break;
            }
            position = next;
        }
    }
    return lines;
}

CScintillaEditor::LintTip CScintillaEditor::LintTipAt(const QPoint& point) const {
    LintTip tip;
    if (m_lintMarks.empty()) {
        return tip;
    }
    int marginLeft = 0;
    int marginsWidth = 0;
    for (unsigned long margin = 0; margin < 5; ++margin) {
        const int width = static_cast<int>(Send(SCI_GETMARGINWIDTHN, margin));
        if (margin < kLintMargin) {
            marginLeft += width;
        }
        marginsWidth += width;
    }
    const int marginRight = marginLeft + static_cast<int>(Send(SCI_GETMARGINWIDTHN, kLintMargin));
    const int textLeft = marginsWidth + static_cast<int>(Send(SCI_GETMARGINLEFT));
    const auto lineArea = [this](long line) {
        const long start = Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const int top = static_cast<int>(Send(SCI_POINTYFROMPOSITION, 0, start));
        return std::pair<int, int>(
            top, static_cast<int>(Send(SCI_TEXTHEIGHT, static_cast<unsigned long>(line))));
    };
    if (point.x() >= marginLeft && point.x() < marginRight) {
        const long position =
            Send(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textLeft), point.y());
        const long line = Send(SCI_LINEFROMPOSITION, Pos(static_cast<int>(position)));
        const auto [top, height] = lineArea(line);
        const long markers = Send(SCI_MARKERGET, static_cast<unsigned long>(line));
        if (point.y() < top || point.y() >= top + height ||
            (markers & ((1 << kErrorMarker) | (1 << kWarningMarker))) == 0) {
            return tip;
        }
        const long start = Send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const long end = start + Send(SCI_LINELENGTH, static_cast<unsigned long>(line));
        tip.text = LintMessagesIn(start, end).join(QLatin1Char('\n'));
        if (Length() == 0) {
            // An empty text has nothing to underline; what is said about it is said here.
            QStringList lines;
            for (const LintMark& mark : m_lintMarks) {
                lines.append(QString::fromLatin1(LintSeverityName(mark.severity)) +
                             QStringLiteral(": ") + QString::fromLatin1(mark.message.c_str()));
            }
            tip.text = lines.join(QLatin1Char('\n'));
        }
        tip.area = QRect(marginLeft, top, marginRight - marginLeft, height);
        return tip;
    }
    if (point.x() < textLeft) {
        return tip;
    }
    const long position =
        Send(SCI_CHARPOSITIONFROMPOINTCLOSE, static_cast<unsigned long>(point.x()), point.y());
    if (position < 0) {
        return tip;
    }
    tip.text = LintMessagesIn(position, position + 1).join(QLatin1Char('\n'));
    if (tip.text.isEmpty()) {
        return tip;
    }
    const auto [top, height] =
        lineArea(Send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
    for (const int indicator : {kErrorIndicator, kWarningIndicator}) {
        const auto number = static_cast<unsigned long>(indicator);
        if (Send(SCI_INDICATORVALUEAT, number, position) == 0) {
            continue;
        }
        const long start = Send(SCI_INDICATORSTART, number, position);
        const long end = Send(SCI_INDICATOREND, number, position);
        const int left = static_cast<int>(Send(SCI_POINTXFROMPOSITION, 0, start));
        const int right = static_cast<int>(Send(SCI_POINTXFROMPOSITION, 0, end));
        tip.area |= QRect(left, top, std::max(right - left, 1), height);
    }
    return tip;
}

namespace {

// Rich text, so that a key's own "<" stays a "<"; broken into lines of a readable length
// here, since Qt wraps a short rich text into a narrow column.
QString ToolTipHtml(const QString& text) {
    constexpr qsizetype kLineLength = 80;
    QStringList lines;
    for (const QString& message : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : message.split(QLatin1Char(' '))) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > kLineLength) {
                lines.append(line.toHtmlEscaped());
                line = QStringLiteral("    ");  // the rest of a message stands indented
            } else if (!line.isEmpty()) {
                line += QLatin1Char(' ');
            }
            line += word;
        }
        lines.append(line.toHtmlEscaped());
    }
    return QStringLiteral("<p style=\"white-space:pre\">") + lines.join(QStringLiteral("<br>")) +
           QStringLiteral("</p>");
}

}  // namespace

bool CScintillaEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const LintTip tip = LintTipAt(help->pos());
        if (tip.text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), ToolTipHtml(tip.text), viewport(), tip.area);
        }
        return true;
    }
    return QsciScintilla::viewportEvent(event);
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
