// The lint marks in the editor control on its own: which lines carry a margin mark and which
// bytes an underline, when marks are replaced, out of the text or on one line together; and
// the lint that waits for a pause in typing, its results and its end while a worker runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/EditorLint.h"
#include "app/LintMarks.h"
#include "app/ScintillaEditor.h"

namespace entorra::testing {
namespace {

using Sci = QsciScintillaBase;

// Ten lines of six bytes each ("line0\n" is five and CR LF): line N starts at 7 * N.
std::string TenLines() {
    std::string text;
    for (int line = 0; line < 10; ++line) {
        text += "line" + std::to_string(line) + "\r\n";
    }
    return text;
}
constexpr int kLineLength = 7;

LintMark Error(int start, int end) {
    return {start, end, LintSeverity::Error, "an error"};
}
LintMark Warning(int start, int end) {
    return {start, end, LintSeverity::Warning, "a warning"};
}

class EditorMarks : public ::testing::Test {
protected:
    void SetUp() override { m_editor.SetText(TenLines()); }

    long Send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const {
        return m_editor.SendScintilla(message, wParam, lParam);
    }
    // The lines with the marker, from the first.
    std::vector<int> LinesWith(int marker) const {
        std::vector<int> lines;
        for (long line = Send(Sci::SCI_MARKERNEXT, 0, 1L << marker); line >= 0;
             line = Send(Sci::SCI_MARKERNEXT, static_cast<unsigned long>(line + 1), 1L << marker)) {
            lines.push_back(static_cast<int>(line));
        }
        return lines;
    }
    std::vector<int> ErrorLines() const { return LinesWith(CScintillaEditor::kErrorMarker); }
    std::vector<int> WarningLines() const { return LinesWith(CScintillaEditor::kWarningMarker); }
    // The underlined runs of the indicator, as [start, end) pairs.
    std::vector<std::pair<int, int>> Underlines(int indicator) const {
        std::vector<std::pair<int, int>> runs;
        const auto number = static_cast<unsigned long>(indicator);
        const long length = Send(Sci::SCI_GETLENGTH);
        for (long position = 0; position < length;) {
            const long end = Send(Sci::SCI_INDICATOREND, number, position);
            if (Send(Sci::SCI_INDICATORVALUEAT, number, position) != 0) {
                runs.emplace_back(static_cast<int>(position), static_cast<int>(end));
            }
            if (end <= position) {
                break;
            }
            position = end;
        }
        return runs;
    }
    std::vector<std::pair<int, int>> ErrorUnderlines() const {
        return Underlines(CScintillaEditor::kErrorIndicator);
    }
    std::vector<std::pair<int, int>> WarningUnderlines() const {
        return Underlines(CScintillaEditor::kWarningIndicator);
    }

    CScintillaEditor m_editor;
};

using Lines = std::vector<int>;
using Runs = std::vector<std::pair<int, int>>;

// One set of marks put into the ten lines, and what the editor shows for it.
struct MarksCase {
    const char* name;
    std::vector<LintMark> marks;
    Lines errorLines;
    Lines warningLines;
    Runs errorRuns;
    Runs warningRuns;
};

class EditorMarksShown : public EditorMarks, public ::testing::WithParamInterface<MarksCase> {};

TEST_P(EditorMarksShown, MarginAndUnderlinesFollowTheMarks) {
    m_editor.SetLintMarks(GetParam().marks);
    EXPECT_EQ(ErrorLines(), GetParam().errorLines);
    EXPECT_EQ(WarningLines(), GetParam().warningLines);
    EXPECT_EQ(ErrorUnderlines(), GetParam().errorRuns);
    EXPECT_EQ(WarningUnderlines(), GetParam().warningRuns);
    EXPECT_EQ(m_editor.LintMarks(), GetParam().marks);
    // The text itself is not touched.
    EXPECT_EQ(m_editor.GetText(), TenLines());
    EXPECT_FALSE(m_editor.IsModified());
    EXPECT_FALSE(m_editor.CanUndo());
}

constexpr int L(int line) {
    return line * kLineLength;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorMarksShown,
    ::testing::Values(
        MarksCase{"None", {}, {}, {}, {}, {}},
        MarksCase{"OneOfEach",
                  {Error(L(1), L(1) + 5), Warning(L(4) + 1, L(4) + 3)},
                  {1},
                  {4},
                  {{L(1), L(1) + 5}},
                  {{L(4) + 1, L(4) + 3}}},
        // A line shows its most severe mark in the margin, whichever comes first.
        MarksCase{"ErrorOverWarningOnOneLine",
                  {Warning(L(2), L(2) + 2), Error(L(2) + 3, L(2) + 5)},
                  {2},
                  {},
                  {{L(2) + 3, L(2) + 5}},
                  {{L(2), L(2) + 2}}},
        MarksCase{"TwoWarningsOnOneLine",
                  {Warning(L(3), L(3) + 1), Warning(L(3) + 2, L(3) + 4)},
                  {},
                  {3},
                  {},
                  {{L(3), L(3) + 1}, {L(3) + 2, L(3) + 4}}},
        // Nothing to underline, but the line is still marked.
        MarksCase{"EmptyRange", {Error(L(5) + 2, L(5) + 2)}, {5}, {}, {}, {}},
        // Offsets from a text that has since become shorter, or nonsense: held to the text.
        MarksCase{"PastTheEnd", {Error(L(10) + 50, L(10) + 90)}, {10}, {}, {}, {}},
        MarksCase{
            "RunningPastTheEnd", {Warning(L(9) + 3, L(10) + 40)}, {}, {9}, {}, {{L(9) + 3, L(10)}}},
        MarksCase{"BeforeTheStart", {Error(-20, 3)}, {0}, {}, {{0, 3}}, {}},
        MarksCase{"EndBeforeStart", {Warning(L(6) + 4, L(6))}, {}, {6}, {}, {}}),
    [](const ::testing::TestParamInfo<MarksCase>& tested) { return tested.param.name; });

// Marks for lines, an error on each even one and a warning on each odd one.
std::vector<LintMark> MarksOnLines(const Lines& lines) {
    std::vector<LintMark> marks;
    for (const int line : lines) {
        marks.push_back(line % 2 == 0 ? Error(L(line), L(line) + 4)
                                      : Warning(L(line), L(line) + 4));
    }
    return marks;
}

TEST_F(EditorMarks, NewMarksClearTheOldLinesAndLeaveOtherMarkersAlone) {
    // Someone else's marker on lines 3 and 7, in the same margin's numbers.
    constexpr int kOther = 5;
    m_editor.markerDefine(QsciScintilla::Circle, kOther);
    m_editor.markerAdd(3, kOther);
    m_editor.markerAdd(7, kOther);

    m_editor.SetLintMarks(MarksOnLines({1, 2, 3, 8}));
    EXPECT_EQ(ErrorLines(), (Lines{2, 8}));
    EXPECT_EQ(WarningLines(), (Lines{1, 3}));

    m_editor.SetLintMarks(MarksOnLines({3, 4}));
    EXPECT_EQ(ErrorLines(), (Lines{4}));
    EXPECT_EQ(WarningLines(), (Lines{3}));
    EXPECT_EQ(ErrorUnderlines(), (Runs{{L(4), L(4) + 4}}));
    EXPECT_EQ(WarningUnderlines(), (Runs{{L(3), L(3) + 4}}));

    m_editor.SetLintMarks({});
    EXPECT_TRUE(ErrorLines().empty());
    EXPECT_TRUE(WarningLines().empty());
    EXPECT_TRUE(ErrorUnderlines().empty());
    EXPECT_TRUE(WarningUnderlines().empty());
    EXPECT_EQ(LinesWith(kOther), (Lines{3, 7}));
}

TEST_F(EditorMarks, ManyMarksAreClearedAsWellAsFew) {
    // More marks than are cleared line by line: a text of 3,000 lines, a mark on each.
    std::string text;
    std::vector<LintMark> many;
    for (int line = 0; line < 3000; ++line) {
        many.push_back(Warning(static_cast<int>(text.size()), static_cast<int>(text.size()) + 2));
        text += "ab\r\n";
    }
    m_editor.SetText(text);
    m_editor.SetLintMarks(many);
    EXPECT_EQ(WarningLines().size(), 3000U);
    EXPECT_EQ(WarningUnderlines().size(), 3000U);

    m_editor.SetLintMarks({Error(4 * 1500, 4 * 1500 + 1)});
    EXPECT_EQ(ErrorLines(), (Lines{1500}));
    EXPECT_TRUE(WarningLines().empty());
    EXPECT_EQ(ErrorUnderlines(), (Runs{{6000, 6001}}));
    EXPECT_TRUE(WarningUnderlines().empty());
}

TEST_F(EditorMarks, MarksMoveWithEditsAndAreClearedWhereTheyWentTo) {
    m_editor.SetLintMarks(MarksOnLines({2, 5}));
    // Two lines put in before both, one taken out between them.
    m_editor.SetSelection(0, 0);
    m_editor.ReplaceSelection("added\r\nadded\r\n");
    m_editor.SetSelection(L(5), L(6));
    m_editor.ReplaceSelection("");
    EXPECT_EQ(ErrorLines(), (Lines{4}));
    EXPECT_EQ(WarningLines(), (Lines{6}));
    EXPECT_EQ(ErrorUnderlines(), (Runs{{L(4), L(4) + 4}}));

    // The next marks replace them wherever they went.
    m_editor.SetLintMarks(MarksOnLines({1}));
    EXPECT_TRUE(ErrorLines().empty());
    EXPECT_EQ(WarningLines(), (Lines{1}));
}

TEST_F(EditorMarks, AMarkWhoseLineWasDeletedIsGoneAndNothingElseIsMarked) {
    m_editor.SetLintMarks(MarksOnLines({4}));
    m_editor.SetSelection(L(3), L(6));
    m_editor.ReplaceSelection("");
    EXPECT_TRUE(ErrorUnderlines().empty());
    // The margin mark went with its line or onto the one that took its place; either way the
    // next marks leave only themselves.
    m_editor.SetLintMarks(MarksOnLines({0}));
    EXPECT_EQ(ErrorLines(), (Lines{0}));
    EXPECT_TRUE(WarningLines().empty());
}

// A text with a value given twice on line 2 (a warning) and a clean one.
constexpr const char* kTwice =
    "{\r\n\"classname\" \"worldspawn\"\r\n\"wad\" \"a\"\r\n\"wad\" \"b\"\r\n}\r\n";
constexpr const char* kClean = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";

class EditorLintPause : public ::testing::Test {
protected:
    void WaitForMarks(CEditorLint& lint) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !lint.IsPending(); }, 20000));
    }
    CScintillaEditor m_editor;
};

TEST_F(EditorLintPause, ChangesWaitForThePauseAndOnlyTheLastIsLinted) {
    CEditorLint lint(m_editor);
    QSignalSpy marked(&lint, &CEditorLint::Marked);
    EXPECT_FALSE(lint.IsPending());

    // Changes without a turn of the event loop between them: no lint can start until the pause
    // after the last one is over.
    m_editor.SetText(kClean);
    for (const char* typed : {"\"wad\" \"a\"\r\n", "\"wad\" \"b\"\r\n"}) {
        const int before = static_cast<int>(m_editor.GetText().rfind('}'));
        m_editor.SetSelection(before, before);
        m_editor.ReplaceSelection(typed);
        EXPECT_TRUE(lint.IsPausing());
        EXPECT_TRUE(lint.IsPending());
    }
    EXPECT_TRUE(m_editor.LintMarks().empty());
    WaitForMarks(lint);
    ASSERT_EQ(marked.count(), 1);
    EXPECT_EQ(marked.at(0).at(0).toInt(), 0);
    EXPECT_EQ(marked.at(0).at(1).toInt(), 1);
    ASSERT_EQ(m_editor.LintMarks().size(), 1U);
    EXPECT_EQ(m_editor.LintMarks()[0].severity, LintSeverity::Warning);
    EXPECT_EQ(lint.DroppedResults(), 0);
}

TEST_F(EditorLintPause, LintNowSkipsThePause) {
    CEditorLint lint(m_editor);
    m_editor.SetText(kTwice);
    lint.LintNow();
    EXPECT_FALSE(lint.IsPausing());
    EXPECT_TRUE(lint.IsPending());
    WaitForMarks(lint);
    EXPECT_EQ(m_editor.LintMarks().size(), 1U);
    // A text without a block is an error of its own, with its mark on the only line there is.
    m_editor.SetText("");
    lint.LintNow();
    WaitForMarks(lint);
    ASSERT_EQ(m_editor.LintMarks().size(), 1U);
    EXPECT_EQ(m_editor.LintMarks()[0].severity, LintSeverity::Error);
    EXPECT_EQ(m_editor.markersAtLine(0) & (1 << CScintillaEditor::kErrorMarker),
              1 << CScintillaEditor::kErrorMarker);
}

TEST_F(EditorLintPause, AnEditWhileTheWorkerRunsDropsItsResult) {
    CEditorLint lint(m_editor);
    QSignalSpy marked(&lint, &CEditorLint::Marked);
    m_editor.SetText(kTwice);
    lint.LintNow();
    lint.WaitForWorker();
    // The result is queued; the text changes before it arrives.
    m_editor.SetText(kClean);
    QApplication::processEvents();
    EXPECT_EQ(lint.DroppedResults(), 1);
    EXPECT_EQ(marked.count(), 0);
    EXPECT_TRUE(m_editor.LintMarks().empty());
    WaitForMarks(lint);
    EXPECT_EQ(marked.count(), 1);
    EXPECT_TRUE(m_editor.LintMarks().empty());
}

TEST_F(EditorLintPause, EndingWhileAWorkerRunsLeavesNothingBehind) {
    // A large text, so that the worker is still at it when the lint ends; what it would
    // deliver must not reach the ended object (the sanitizers see to the rest).
    std::string text;
    while (text.size() < 4u * 1024 * 1024) {
        text += "{\r\n\"classname\" \"light\"\r\n\"wad\" \"a\"\r\n\"wad\" \"b\"\r\n}\r\n";
    }
    m_editor.SetText(text);
    for (int round = 0; round < 3; ++round) {
        auto lint = std::make_unique<CEditorLint>(m_editor);
        lint->LintNow();
        lint.reset();
        QApplication::processEvents();
    }
    EXPECT_TRUE(m_editor.LintMarks().empty());
    EXPECT_EQ(m_editor.GetText(), text);
}

}  // namespace
}  // namespace entorra::testing
