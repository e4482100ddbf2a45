#include "app/EntityLexer.h"

#include <Qsci/qsciscintilla.h>

#include <string_view>
#include <vector>

#include "app/AnsiText.h"

namespace entorra {
namespace {

using Sci = QsciScintillaBase;

struct Colours {
    QColor brace, key, value, className;
};

Colours SchemeColours(bool dark) {
    if (dark) {
        return {QColor(0xc7, 0x92, 0xea), QColor(0x82, 0xaa, 0xff), QColor(0xc3, 0xe8, 0x8d),
                QColor(0xff, 0xcb, 0x6b)};
    }
    return {QColor(0x80, 0x30, 0xa0), QColor(0x1a, 0x4f, 0xa8), QColor(0x2a, 0x6e, 0x2a),
            QColor(0xb0, 0x4a, 0x10)};
}

// Emits styles in runs: Scintilla is told only when the style changes.
class CRunWriter {
public:
    explicit CRunWriter(CEntityLexer& lexer) : m_lexer(lexer) {}
    void Add(int style, char byte) {
        if (IsAnsiTypographic(static_cast<unsigned char>(byte))) {
            style += CEntityLexer::kAnsiCharacter;
        }
        if (style != m_nStyle && m_nLength > 0) {
            Flush();
        }
        m_nStyle = style;
        ++m_nLength;
    }
    void Flush() {
        if (m_nLength > 0) {
            m_lexer.setStyling(m_nLength, m_nStyle);
            m_nLength = 0;
        }
    }

private:
    CEntityLexer& m_lexer;
    int m_nStyle = CEntityLexer::Default;
    int m_nLength = 0;
};

}  // namespace

CEntityLexer::CEntityLexer(QObject* parent) : QsciLexerCustom(parent) {}

QString CEntityLexer::description(int style) const {
    if (style >= kAnsiCharacter && style < kAnsiCharacter + StyleCount) {
        return description(style - kAnsiCharacter) + QStringLiteral(", code page character");
    }
    switch (style) {
        case Default:
            return QStringLiteral("Default");
        case Brace:
            return QStringLiteral("Brace");
        case Key:
            return QStringLiteral("Key");
        case Value:
            return QStringLiteral("Value");
        case ClassName:
            return QStringLiteral("Class name");
        default:
            return {};
    }
}

void CEntityLexer::SetScheme(bool dark, const QColor& text, const QColor& paper,
                             const QFont& font) {
    const Colours colours = SchemeColours(dark);
    QFont bold = font;
    bold.setBold(true);
    for (int style = 0; style < StyleCount; ++style) {
        setPaper(paper, style);
        setFont(style == Brace || style == ClassName ? bold : font, style);
    }
    setDefaultPaper(paper);
    setDefaultColor(text);
    setDefaultFont(font);
    setColor(text, Default);
    setColor(colours.brace, Brace);
    setColor(colours.key, Key);
    setColor(colours.value, Value);
    setColor(colours.className, ClassName);
    for (int style = 0; style < StyleCount; ++style) {
        setPaper(paper, kAnsiCharacter + style);
        setColor(paper, kAnsiCharacter + style);
        setFont(style == Brace || style == ClassName ? bold : font, kAnsiCharacter + style);
    }
}

void CEntityLexer::styleText(int start, int end) {
    QsciScintilla* sci = editor();
    if (sci == nullptr || end <= start) {
        return;
    }
    // Start at the beginning of the line: the depth there is what the line before left.
    const long firstLine =
        sci->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    const long from =
        sci->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(firstLine));
    std::vector<char> buffer(static_cast<std::size_t>(end - from) + 1);
    sci->SendScintilla(Sci::SCI_GETTEXTRANGE, from, static_cast<long>(end), buffer.data());
    const std::string_view text(buffer.data(), buffer.size() - 1);

    int depth = firstLine > 0
                    ? static_cast<int>(sci->SendScintilla(
                          Sci::SCI_GETLINESTATE, static_cast<unsigned long>(firstLine - 1)))
                    : 0;
    startStyling(static_cast<int>(from));
    CRunWriter writer(*this);

    long line = firstLine;
    int lineDepth = depth;  // at the start of the line
    bool opens = false;
    int quoted = 0;  // strings begun on this line: the first is the key, the second its value
    bool inString = false;
    bool classNameKey = false;
    std::size_t keyStart = 0;
    // Fold level from the depth at the start of the line; the line state carries the depth
    // at its end to the next line.
    const auto markLine = [&] {
        int level = QsciScintilla::SC_FOLDLEVELBASE + lineDepth;
        if (opens) {
            level |= QsciScintilla::SC_FOLDLEVELHEADERFLAG;
        }
        sci->SendScintilla(Sci::SCI_SETFOLDLEVEL, static_cast<unsigned long>(line),
                           static_cast<long>(level));
        sci->SendScintilla(Sci::SCI_SETLINESTATE, static_cast<unsigned long>(line),
                           static_cast<long>(depth));
    };
    const auto endLine = [&] {
        markLine();
        ++line;
        lineDepth = depth;
        opens = false;
        quoted = 0;
        inString = false;
        classNameKey = false;
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            writer.Add(Default, c);
            endLine();
            continue;
        }
        if (c == '\r') {
            writer.Add(Default, c);
            continue;
        }
        if (inString) {
            writer.Add(quoted == 1 ? Key : (classNameKey ? ClassName : Value), c);
            if (c == '"') {
                inString = false;
                if (quoted == 1) {
                    classNameKey = text.substr(keyStart, i - keyStart) == "classname";
                }
            }
            continue;
        }
        if (c == '"') {
            inString = true;
            ++quoted;
            keyStart = i + 1;
            writer.Add(quoted == 1 ? Key : (classNameKey ? ClassName : Value), c);
        } else if (c == '{') {
            ++depth;
            opens = true;
            writer.Add(Brace, c);
        } else if (c == '}') {
            if (depth > 0) {
                --depth;
            }
            writer.Add(Brace, c);
        } else {
            writer.Add(Default, c);
        }
    }
    writer.Flush();
    // The last line may go on past `end`; its fold level is set when it is styled whole.
    if (text.empty() || text.back() != '\n') {
        markLine();
    }
}

}  // namespace entorra
