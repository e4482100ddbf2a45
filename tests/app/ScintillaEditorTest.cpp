// The Scintilla editor behind the core's editor interface: bytes in and out, the same edits
// as the editor in memory, the text limit, and the keys the dialog relies on.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QStaticText>
#include <QTest>
#include <random>

#include <Qsci/qscilexer.h>

#include "app/AnsiText.h"
#include "app/EntityLexer.h"
#include "app/ScintillaEditor.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra::testing {
namespace {

std::string AllBytesText() {
    std::string text = "{\r\n\"a\" \"b\"\r\n}\r\n\r\rlone\nend";
    for (int byte = 0; byte < 256; ++byte) {
        text += static_cast<char>(byte);
    }
    return text;
}

TEST(ScintillaEditor, HoldsEveryByteAsGivenAndLendsItInPlace) {
    CScintillaEditor editor;
    const std::string text = AllBytesText();
    editor.SetText(text);
    EXPECT_EQ(editor.GetText(), text);
    const std::string_view borrowed = editor.BorrowText();
    EXPECT_EQ(borrowed, text);
    EXPECT_EQ(borrowed.data()[borrowed.size()], '\0');
    EXPECT_EQ(editor.Length(), static_cast<int>(text.size()));
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 0}));
    // Shown one character per byte.
    editor.SetText("caf\xe9");
    EXPECT_EQ(editor.text().toStdU16String(), u"caf\u00e9");
}

TEST(ScintillaEditor, SelectionsAreLimitedToTheText) {
    CScintillaEditor editor;
    editor.SetText("{\r\n}\r\n");
    editor.SetSelection(1, 100);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{1, 6}));
    editor.SetSelection(-3, 2);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 2}));
    editor.SetSelection(4, 2);
    EXPECT_EQ(editor.GetSelection(), (TextSelection{2, 4}));
}

TEST(ScintillaEditor, AnEmptyReplacementOfNothingIsNoChange) {
    CScintillaEditor editor;
    editor.SetText("abc");
    editor.SetSelection(1, 1);
    editor.ReplaceSelection("");
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());
    editor.SetSelection(1, 2);
    editor.ReplaceSelection("");
    EXPECT_EQ(editor.GetText(), "ac");
    EXPECT_TRUE(editor.IsModified());
    EXPECT_EQ(editor.GetSelection(), (TextSelection{1, 1}));
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abc");
    EXPECT_FALSE(editor.IsModified());  // back at the save point
    editor.ClearModified();
    EXPECT_FALSE(editor.IsModified());
}

// Random edits on both editors give the same text, selection and modified flag.
TEST(ScintillaEditor, EditsLikeTheEditorInMemory) {
    std::mt19937 random(7);
    CScintillaEditor editor;
    CMemoryEditor model;
    const std::string start = MakeEditorText(fixtures::MakeEntityText(40)) + "\r\r\n\xff\n";
    editor.SetText(start);
    model.SetText(start);
    for (int step = 0; step < 400; ++step) {
        const int length = static_cast<int>(model.GetText().size());
        const auto pick = [&](int limit) {
            return static_cast<int>(random() % static_cast<unsigned>(limit + 1));
        };
        switch (random() % 4) {
            case 0: {
                const int a = pick(length + 5);
                const int b = pick(length + 5);
                editor.SetSelection(a, b);
                model.SetSelection(a, b);
                break;
            }
            case 1:
                editor.ReplaceSelection("");
                model.ReplaceSelection("");
                break;
            case 2: {
                std::vector<TextRange> ranges;
                int at = 0;
                while (at < length && ranges.size() < 6) {
                    const int begin = at + pick(std::min(30, length - at));
                    const int end = begin + pick(std::min(12, length - begin));
                    ranges.push_back({begin, end});
                    at = end + 1;
                }
                editor.DeleteRanges(ranges);
                model.DeleteRanges(ranges);
                break;
            }
            default: {
                const std::string inserted(static_cast<std::size_t>(pick(3)), '\x80');
                editor.ReplaceSelection(inserted);
                model.ReplaceSelection(inserted);
                break;
            }
        }
        ASSERT_EQ(editor.GetText(), model.GetText()) << "step " << step;
        ASSERT_EQ(editor.GetSelection(), model.GetSelection()) << "step " << step;
        ASSERT_EQ(editor.IsModified(), model.IsModified()) << "step " << step;
    }
}

TEST(ScintillaEditor, DeleteAllIsOneUndoStep) {
    CScintillaEditor editor;
    const std::string text = MakeEditorText(fixtures::MakeEntityText(500));
    editor.SetText(text);
    CFixedSearchString search("light");
    CRecordingSink sink;
    CEntitySearch command(editor, search, sink);
    command.OnDeleteAll();
    ASSERT_EQ(sink.messages.size(), 1U);
    EXPECT_EQ(sink.messages[0], "100 entities containing the string\n\"light\"\nwere deleted.");
    EXPECT_EQ(editor.GetText().find("light"), std::string::npos);
    editor.Undo();
    EXPECT_EQ(editor.GetText(), text);
    EXPECT_FALSE(editor.IsModified());
}

TEST(ScintillaEditor, ThousandsOfDeletionsAreOneQuickStepForTheKeyboardsUndoToo) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const std::string text = MakeEditorText(fixtures::MakeEntityText(20000));
    editor->SetText(text);
    int changes = 0;
    QObject::connect(editor, &QsciScintilla::textChanged, [&] { ++changes; });
    CFixedSearchString search("light");
    CRecordingSink sink;
    CEntitySearch command(*editor, search, sink);
    command.OnDeleteAll();
    EXPECT_EQ(sink.messages.at(0), "4000 entities containing the string\n\"light\"\nwere deleted.");
    EXPECT_EQ(changes, 1);  // announced once, not per block
    EXPECT_TRUE(editor->IsModified());

    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->GetText(), text);
    EXPECT_FALSE(editor->IsModified());
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor->GetText().find("light"), std::string::npos);
}

TEST(ScintillaEditor, RefusesTypingPastTheLimitWithoutCountingItAsAChange) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    editor->setFocus();
    editor->SetText("ab");
    editor->SetTextLimit(4);
    QTest::keyClicks(editor, "xy");
    EXPECT_EQ(editor->GetText(), "xyab");
    editor->ClearModified();
    QTest::keyClick(editor, Qt::Key_Z);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->GetText(), "xyab");
    EXPECT_FALSE(editor->IsModified());

    // Room again after a deletion; Return inserts CR LF.
    editor->SetSelection(0, 2);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->GetText(), "\r\nab");
    EXPECT_TRUE(editor->IsModified());
    // A map's own text is set whatever the limit.
    editor->SetText("0123456789");
    EXPECT_EQ(editor->GetText(), "0123456789");
}

TEST(ScintillaEditor, PassesEscapeOnAndTabMovesTheFocus) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    auto* next = new QWidget(&window);
    next->setFocusPolicy(Qt::StrongFocus);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->GetText(), "");
    EXPECT_TRUE(next->hasFocus());

    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
}

TEST(ScintillaEditor, FollowsALightOrDarkPalette) {
    CScintillaEditor editor;
    QPalette dark = editor.palette();
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    QPalette light = dark;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    editor.setPalette(dark);
    EXPECT_TRUE(editor.IsDarkScheme());
    EXPECT_EQ(editor.lexer()->paper(0), QColor(0x1e, 0x1e, 0x1e));
    editor.setPalette(light);
    EXPECT_FALSE(editor.IsDarkScheme());
    EXPECT_EQ(editor.lexer()->paper(0), QColor(Qt::white));
}

TEST(ScintillaEditor, FoldsEachEntityBlock) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    editor->resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    editor->SetText("{\r\n\"classname\" \"worldspawn\"\r\n}\r\n{\r\n\"a\" \"b\"\r\n}\r\n");
    editor->repaint();  // styles what is shown
    using Sci = QsciScintillaBase;
    const auto level = [&](unsigned long line) {
        return editor->SendScintilla(Sci::SCI_GETFOLDLEVEL, line);
    };
    EXPECT_NE(level(0) & Sci::SC_FOLDLEVELHEADERFLAG, 0);
    EXPECT_EQ(level(1) & Sci::SC_FOLDLEVELNUMBERMASK, Sci::SC_FOLDLEVELBASE + 1);
    EXPECT_EQ(level(2) & Sci::SC_FOLDLEVELNUMBERMASK, Sci::SC_FOLDLEVELBASE + 1);
    EXPECT_NE(level(3) & Sci::SC_FOLDLEVELHEADERFLAG, 0);
    EXPECT_EQ(level(3) & Sci::SC_FOLDLEVELNUMBERMASK, Sci::SC_FOLDLEVELBASE);
    // The class name's value has a style of its own.
    const auto style = [&](unsigned long position) {
        return editor->SendScintilla(Sci::SCI_GETSTYLEAT, position);
    };
    EXPECT_EQ(style(0), 1);   // brace
    EXPECT_EQ(style(4), 2);   // key
    EXPECT_EQ(style(17), 4);  // the class name
}

TEST(AnsiText, ShowsTheWesternCodePageAndTakesEveryByteBack) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    const QString shown = AnsiToText(all);
    ASSERT_EQ(shown.size(), 256);
    EXPECT_EQ(shown.mid(0x80, 32),
              QStringLiteral("\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030"
                             "\u0160\u2039\u0152\u008d\u017d\u008f\u0090\u2018\u2019\u201c"
                             "\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d"
                             "\u017e\u0178"));
    EXPECT_EQ(shown.mid(0xA0), QString::fromLatin1(all.data() + 0xA0, 0x60));
    const QByteArray back = TextToAnsi(shown);
    EXPECT_EQ(std::string(back.constData(), static_cast<std::size_t>(back.size())), all);
    EXPECT_EQ(TextToAnsi(QStringLiteral("a\u2603b")), QByteArray("a?b"));
    EXPECT_FALSE(TextToAnsiExactly(QStringLiteral("a\u2603b")).has_value());
    EXPECT_EQ(TextToAnsiExactly(QStringLiteral("\u20ac5")), QByteArray("\x80"
                                                                       "5"));
}

// Typing, pasting and input methods put in the code page's bytes; copying gives its text.
TEST(ScintillaEditor, TakesAndGivesTheCodePagesCharactersAsSingleBytes) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    editor->SetText("{}");
    editor->SetSelection(1, 1);

    QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20ac"));
    QApplication::sendEvent(editor, &euro);
    EXPECT_EQ(editor->GetText(), "{\x80}");
    QTest::keyClicks(editor, "ab");
    EXPECT_EQ(editor->GetText(),
              "{\x80"
              "ab}");

    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("\u2019"));
    QApplication::sendEvent(editor, &composed);
    EXPECT_EQ(editor->GetText(),
              "{\x80"
              "ab\x92}");

    QApplication::clipboard()->setText(QStringLiteral("\u201cq\u201d\u2603"));
    editor->paste();
    EXPECT_EQ(editor->GetText(),
              "{\x80"
              "ab\x92\x93q\x94?}");
    EXPECT_EQ(editor->Length(), 10);

    editor->SetSelection(1, 4);
    editor->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\u20ac"
                                                                "ab"));
    EXPECT_TRUE(editor->IsModified());
    editor->Undo();
    editor->Undo();
    editor->Undo();
    editor->Undo();
    EXPECT_EQ(editor->GetText(), "{}");
}

// Scintilla draws 0x80-0x9F as empty boxes; the editor draws the code page's characters over
// them, in the selection too. The bytes it leaves undefined keep their boxes.
TEST(ScintillaEditor, DrawsTheCodePagesCharactersWhereScintillaHasBoxes) {
    QDialog window;
    auto* editor = new CScintillaEditor(&window);
    editor->resize(400, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    editor->SetText("\"a\" \"\x80\x81\x94\x9d\"\r\n");
    using S = QsciScintillaBase;
    const auto cell = [&](int position) {
        const int left = static_cast<int>(
            editor->SendScintilla(S::SCI_POINTXFROMPOSITION, 0UL, static_cast<long>(position)));
        const int right = static_cast<int>(
            editor->SendScintilla(S::SCI_POINTXFROMPOSITION, 0UL, static_cast<long>(position + 1)));
        const int top = static_cast<int>(
            editor->SendScintilla(S::SCI_POINTYFROMPOSITION, 0UL, static_cast<long>(position)));
        const int height = static_cast<int>(editor->SendScintilla(S::SCI_TEXTHEIGHT, 0UL));
        return QRect(left, top, right - left, height);
    };
    // The character as the editor draws it in a cell of the value's style.
    QsciLexer* lexer = editor->lexer();
    const auto drawn = [&](const QRect& rect, QChar character, const QColor& paper,
                           const QColor& ink) {
        QImage image(rect.size(), QImage::Format_RGB32);
        image.fill(paper);
        QPainter painter(&image);
        painter.setFont(lexer->font(CEntityLexer::Value));
        painter.setPen(ink);
        CScintillaEditor::DrawCharacter(painter, QRect(QPoint(), rect.size()),
                                        QStaticText(QString(character)));
        return image;
    };
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "selected" : "not selected");
        editor->SetSelection(0, selected ? 11 : 0);
        const QImage image =
            editor->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor paper = selected ? editor->palette().color(QPalette::Highlight)
                                      : lexer->paper(CEntityLexer::Value);
        const QColor ink = selected ? editor->palette().color(QPalette::HighlightedText)
                                    : lexer->color(CEntityLexer::Value);
        EXPECT_EQ(image.copy(cell(5)), drawn(cell(5), QChar(0x20AC), paper, ink));
        EXPECT_EQ(image.copy(cell(7)), drawn(cell(7), QChar(0x201D), paper, ink));
        // The undefined bytes keep Scintilla's box.
        EXPECT_NE(image.copy(cell(6)), drawn(cell(6), QChar(' '), paper, ink));
    }
}

// The horizontal scroll range is the longest line's width, whatever ends the lines.
struct ScrollCase {
    const char* name;
    const char* text;
    const char* longest;
};

class ScintillaScrollWidth : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScintillaScrollWidth, IsTheLongestLinesWidth) {
    CScintillaEditor editor;
    editor.SetText(GetParam().text);
    const long expected = editor.SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                                               static_cast<unsigned long>(CEntityLexer::ClassName),
                                               GetParam().longest);
    EXPECT_EQ(editor.SendScintilla(QsciScintillaBase::SCI_GETSCROLLWIDTH), std::max(expected, 1L));
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ScintillaScrollWidth,
    ::testing::Values(
        ScrollCase{"Empty", "", ""}, ScrollCase{"LineFeeds", "ab\nabcdefgh\nabc", "abcdefgh"},
        ScrollCase{"CarriageReturnLineFeeds", "ab\r\nabcdefgh\r\nabc\r\n", "abcdefgh"},
        ScrollCase{"LoneCarriageReturns", "abcdef\rab\rabcdefgh\nabc\rabcdefg", "abcdefgh"},
        ScrollCase{"LastLineLongest", "ab\r\nabcdefghij", "abcdefghij"},
        ScrollCase{"FirstLineLongest", "abcdefghij\n\r\n\rab", "abcdefghij"}),
    [](const ::testing::TestParamInfo<ScrollCase>& tested) {
        return std::string(tested.param.name);
    });

}  // namespace
}  // namespace entorra::testing
