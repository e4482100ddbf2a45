// The engine lint in the dialog: marks in the editor after a pause in typing, their messages
// where the pointer rests, the count beside the census, and results that edits overtake.

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include "app/EditorLint.h"
#include "app/LintMarks.h"
#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using Sci = QsciScintillaBase;

// Three blocks, each broken another way: a warning and two errors.
constexpr const char* kBroken =
    "{\n\"classname\" \"worldspawn\"\n}\n"
    "{\n\"classname\" \"light\"\n\"angle\" \"-5\"\n}\n"
    "{\n\"classname\" \"info_target\"\n\"message\" \"oops\n}\n";
constexpr const char* kAngleWarning =
    "\"angle\" \"-5\" becomes \"angles\" \"90 0 0\" (down), not a yaw";
constexpr const char* kUnterminated =
    "unterminated quote: the engine reads the rest of the text as one string";
constexpr const char* kNoClosingBrace =
    "EOF without closing brace: the block opened here never ends and the engine stops loading "
    "the map";

// A mark as the editor shows it: the underlined bytes and the line (from 0) they are on, which
// carries the margin's mark of the same severity.
struct ShownMark {
    LintSeverity severity;
    std::string underlined;
    int line;
    friend bool operator==(const ShownMark&, const ShownMark&) = default;
    friend std::ostream& operator<<(std::ostream& out, const ShownMark& mark) {
        return out << LintSeverityName(mark.severity) << " '" << mark.underlined << "' line "
                   << mark.line;
    }
};

class DialogLint : public DialogFixture {
protected:
    // Until the marks of the text as it stands are in the editor.
    void WaitForMarks() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_dlg->Lint().IsPending(); }, 20000));
    }
    std::string Count() const { return Text(IDC_LINT_COUNT); }
    long Send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const {
        return Editor().SendScintilla(message, wParam, lParam);
    }

    // The underlines in the editor, run by run, errors first, each checked against the margin.
    std::vector<ShownMark> Shown() const {
        std::vector<ShownMark> shown;
        const std::string text = Editor().GetText();
        const long length = static_cast<long>(text.size());
        for (const int indicator :
             {CScintillaEditor::kErrorIndicator, CScintillaEditor::kWarningIndicator}) {
            const auto number = static_cast<unsigned long>(indicator);
            for (long position = 0; position < length;) {
                const long end = Send(Sci::SCI_INDICATOREND, number, position);
                if (Send(Sci::SCI_INDICATORVALUEAT, number, position) != 0) {
                    const bool error = indicator == CScintillaEditor::kErrorIndicator;
                    const int line = static_cast<int>(
                        Send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
                    const long markers = Send(Sci::SCI_MARKERGET, static_cast<unsigned long>(line));
                    const int marker =
                        error ? CScintillaEditor::kErrorMarker : CScintillaEditor::kWarningMarker;
                    EXPECT_NE(markers & (1 << marker), 0) << "no margin mark on line " << line;
                    shown.push_back(
                        {error ? LintSeverity::Error : LintSeverity::Warning,
                         text.substr(static_cast<std::size_t>(position),
                                     static_cast<std::size_t>(std::min(end, length) - position)),
                         line});
                }
                if (end <= position) {
                    break;
                }
                position = end;
            }
        }
        return shown;
    }
    // Lines with a mark in the margin.
    int MarkedLines() const {
        int lines = 0;
        const unsigned long mask =
            (1u << CScintillaEditor::kErrorMarker) | (1u << CScintillaEditor::kWarningMarker);
        for (long line = Send(Sci::SCI_MARKERNEXT, 0, static_cast<long>(mask)); line >= 0;
             line = Send(Sci::SCI_MARKERNEXT, static_cast<unsigned long>(line + 1),
                         static_cast<long>(mask))) {
            ++lines;
        }
        return lines;
    }
    static std::vector<ShownMark> BrokenMarks() {
        return {{LintSeverity::Error, "{", 7},
                {LintSeverity::Error, "\"oops", 9},
                {LintSeverity::Warning, "\"angle\"", 5}};
    }

    // Where the pointer rests on a byte of the text, or on the margin's mark of its line.
    QPoint PointAt(int position) const {
        return {static_cast<int>(Send(Sci::SCI_POINTXFROMPOSITION, 0, position)) + 2,
                static_cast<int>(Send(Sci::SCI_POINTYFROMPOSITION, 0, position)) + 4};
    }
    QPoint MarginPointAt(int position) const {
        const int left = static_cast<int>(Send(Sci::SCI_GETMARGINWIDTHN, 0));
        return {left + 3, PointAt(position).y()};
    }

    // Types text at a byte offset, as keys.
    void TypeAt(int position, const char* keys) {
        Editor().SetSelection(position, position);
        QTest::keyClicks(&Editor(), QString::fromLatin1(keys));
    }
};

TEST_F(DialogLint, ShowingAMapMarksItsErrorsAndWarningsAndCountsThem) {
    WriteMap("broken.bsp", kBroken);
    Start();
    m_dlg->show();
    Select("broken.bsp");
    WaitForMarks();
    EXPECT_EQ(Shown(), BrokenMarks());
    EXPECT_EQ(MarkedLines(), 3);
    EXPECT_EQ(Count(), "2 errors, 1 warning");
    // The census label keeps its own text.
    EXPECT_EQ(Census(), "T= 0 CT= 0 VIP= 0");
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogLint, TypingMarksAfterThePauseAndFixingClearsTheMarks) {
    WriteMap("good.bsp", kSpawnText);
    Start();
    m_dlg->show();
    Select("good.bsp");
    WaitForMarks();
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Count(), "");

    // A value given twice, typed into the light's block: nothing until the pause is over.
    const std::string text = Editor().GetText();
    const int lightEnd = static_cast<int>(text.rfind('}'));
    TypeAt(lightEnd, "\"_light\" \"1 2 3\"\r");
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(m_dlg->Lint().IsPending());
    WaitForMarks();
    const std::vector<ShownMark> typed = {{LintSeverity::Warning, "\"_light\"", 32}};
    EXPECT_EQ(Shown(), typed);
    EXPECT_EQ(Count(), "1 warning");

    // Taking it back out leaves nothing to mark.
    Editor().undo();
    WaitForMarks();
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(MarkedLines(), 0);
    EXPECT_EQ(Count(), "");
    // And redo brings it back.
    Editor().redo();
    WaitForMarks();
    EXPECT_EQ(Shown(), typed);
}

TEST_F(DialogLint, DeleteAllOfTheBrokenBlocksClearsTheirMarks) {
    WriteMap("broken.bsp", kBroken);
    Start();
    Select("broken.bsp");
    WaitForMarks();
    SetSearch("light");
    Click(IDC_DELETE_ALL);
    WaitForMarks();
    const std::vector<ShownMark> left = {{LintSeverity::Error, "{", 3},
                                         {LintSeverity::Error, "\"oops", 5}};
    EXPECT_EQ(Shown(), left);
    EXPECT_EQ(Count(), "2 errors");
    Editor().Undo();
    WaitForMarks();
    EXPECT_EQ(Shown(), BrokenMarks());
}

TEST_F(DialogLint, TheMessageShowsWhereThePointerRestsOnAMark) {
    WriteMap("broken.bsp", kBroken);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("broken.bsp");
    WaitForMarks();
    const std::string text = Editor().GetText();
    const int angle = static_cast<int>(text.find("\"angle\""));
    const int quote = static_cast<int>(text.find("\"oops"));

    EXPECT_EQ(Editor().LintTipAt(PointAt(angle + 1)).text.toStdString(),
              std::string("warning: ") + kAngleWarning);
    EXPECT_EQ(Editor().LintTipAt(PointAt(quote + 2)).text.toStdString(),
              std::string("error: ") + kUnterminated);
    // The margin tells everything about its line; the block's brace has its own line.
    EXPECT_EQ(Editor().LintTipAt(MarginPointAt(angle)).text.toStdString(),
              std::string("warning: ") + kAngleWarning);
    EXPECT_EQ(
        Editor().LintTipAt(MarginPointAt(static_cast<int>(text.rfind('{')))).text.toStdString(),
        std::string("error: ") + kNoClosingBrace);
    // Nothing where nothing is marked: the value beside the key, the margin of a clean line.
    EXPECT_TRUE(Editor().LintTipAt(PointAt(angle + 9)).text.isEmpty());
    EXPECT_TRUE(Editor().LintTipAt(MarginPointAt(0)).text.isEmpty());

    // As the pointer resting there asks for it.
    const QPoint point = PointAt(angle + 1);
    QHelpEvent help(QEvent::ToolTip, point, Editor().viewport()->mapToGlobal(point));
    QApplication::sendEvent(Editor().viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("not a yaw")));
    QToolTip::hideText();
}

TEST_F(DialogLint, MarksMoveWithTheTextUntilTheNextLint) {
    WriteMap("broken.bsp", kBroken);
    Start();
    Select("broken.bsp");
    WaitForMarks();
    // Two lines typed into the first block: the marks stay on their bytes and keep their
    // messages.
    TypeAt(3, "// a\r// b\r");
    EXPECT_EQ(Shown(), (std::vector<ShownMark>{{LintSeverity::Error, "{", 9},
                                               {LintSeverity::Error, "\"oops", 11},
                                               {LintSeverity::Warning, "\"angle\"", 7}}));
    const std::string text = Editor().GetText();
    EXPECT_EQ(Editor()
                  .LintTipAt(PointAt(static_cast<int>(text.find("\"angle\"")) + 1))
                  .text.toStdString(),
              std::string("warning: ") + kAngleWarning);
    WaitForMarks();
    EXPECT_EQ(Shown().size(), 3U);
}

TEST_F(DialogLint, AResultThatAnEditOvertookIsDropped) {
    WriteMap("good.bsp", kSpawnText);
    Start();
    Select("good.bsp");
    WaitForMarks();
    // A broken line, linted at once; its result is on its way when the line is taken out.
    const int end = static_cast<int>(Editor().GetText().rfind('}'));
    TypeAt(end, "\"oops");
    m_dlg->Lint().LintNow();
    m_dlg->Lint().WaitForWorker();
    Editor().SetSelection(end, end + 5);
    Editor().ReplaceSelection("");
    const int dropped = m_dlg->Lint().DroppedResults();
    QApplication::processEvents();
    EXPECT_EQ(m_dlg->Lint().DroppedResults(), dropped + 1);
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Count(), "");
    WaitForMarks();
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Count(), "");
}

TEST_F(DialogLint, ShowingAnotherMapLintsItAtOnce) {
    WriteMap("broken.bsp", kBroken);
    WriteMap("good.bsp", kSpawnText);
    WriteMap("other.bsp", "{\n\"classname\" \"light\"\n}\n{\n\"classname\" \"worldspawn\"\n}\n");
    Start();
    Select("broken.bsp");
    WaitForMarks();
    ASSERT_EQ(Count(), "2 errors, 1 warning");

    Select("good.bsp");
    // No pause for a text just shown: the lint is under way.
    EXPECT_TRUE(m_dlg->Lint().IsPending());
    EXPECT_FALSE(m_dlg->Lint().IsPausing());
    WaitForMarks();
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(MarkedLines(), 0);
    EXPECT_EQ(Count(), "");

    Select("other.bsp");
    WaitForMarks();
    const std::vector<ShownMark> other = {{LintSeverity::Error, "{", 0},
                                          {LintSeverity::Warning, "{", 3}};
    EXPECT_EQ(Shown(), other);
    EXPECT_EQ(Count(), "1 error, 1 warning");
}

TEST_F(DialogLint, SaveWritesAMapWithErrorsWithoutAskingAndMarksItAgain) {
    const std::string path = WriteMap("broken.bsp", kBroken);
    Start();
    Select("broken.bsp");
    WaitForMarks();
    TypeAt(0, "\r");
    Click(IDC_SAVE);
    EXPECT_TRUE(m_prompt.questions.empty());
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], "The file:  broken.bsp\nwas saved!");
    EXPECT_FALSE(Editor().IsModified());
    WaitForMarks();
    EXPECT_EQ(Shown(), BrokenMarks());
    EXPECT_EQ(Count(), "2 errors, 1 warning");
}

// What fails after a broken map is shown: the map chosen next cannot be read, or the save of an
// edit cannot be written. The editor keeps its text, and so its marks and count.
enum class Failure { Load, Save };

class DialogLintFailure : public DialogLint, public ::testing::WithParamInterface<Failure> {};

TEST_P(DialogLintFailure, KeepsTheMarksOfTheTextStillShown) {
    WriteMap("broken.bsp", kBroken);
    fixtures::WriteFileBytes(m_folder + "old.bsp",
                             fixtures::CMapBuilder().Version(29).EntityText(kSpawnText).Build());
    Start();
    Select("broken.bsp");
    WaitForMarks();
    if (GetParam() == Failure::Load) {
        Select("old.bsp");
        ASSERT_EQ(m_prompt.messages.size(), 1U);
        EXPECT_EQ(m_prompt.messages[0], "BSP is version 29, not 30");
        EXPECT_EQ(Title(), "No map loaded");
        EXPECT_FALSE(m_dlg->Lint().IsPending());
    } else {
        TypeAt(0, "\r");
        WaitForMarks();
        m_fileSystem.FailAt(FileStep::Write);
        Click(IDC_SAVE);
        ASSERT_TRUE(m_fileSystem.Triggered());
        ASSERT_EQ(m_prompt.messages.size(), 1U);
        EXPECT_EQ(m_prompt.messages[0].rfind("Error saving the file: broken.bsp.", 0), 0U);
        EXPECT_TRUE(Editor().IsModified());
    }
    WaitForMarks();
    std::vector<ShownMark> expected = BrokenMarks();
    for (ShownMark& mark : expected) {
        mark.line += GetParam() == Failure::Save ? 1 : 0;  // below the typed line
    }
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(MarkedLines(), 3);
    EXPECT_EQ(Count(), "2 errors, 1 warning");
}

INSTANTIATE_TEST_SUITE_P(Failures, DialogLintFailure,
                         ::testing::Values(Failure::Load, Failure::Save),
                         [](const ::testing::TestParamInfo<Failure>& tested) {
                             return tested.param == Failure::Load ? std::string("Load")
                                                                  : std::string("Save");
                         });

// The desktop font's size in points; 0 for the desktop's own.
class DialogLintLayout : public DialogLint, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        m_desktopFont = QApplication::font();
        if (GetParam() > 0) {
            QFont font = m_desktopFont;
            font.setPointSize(GetParam());
            QApplication::setFont(font);
        }
    }
    void TearDown() override {
        m_dlg.reset();
        QApplication::setFont(m_desktopFont);
    }

    QFont m_desktopFont;
};

TEST_P(DialogLintLayout, TheCountStandsWholeBesideTheCensusDownToTheLeastSize) {
    WriteMap("broken.bsp", kBroken);
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("broken.bsp");
    WaitForMarks();
    auto* census = Control<QLabel>(IDC_SPAWN_COUNTS);
    auto* count = Control<QLabel>(IDC_LINT_COUNT);
    const auto besideEachOther = [&](const char* when) {
        EXPECT_GE(census->width(), census->sizeHint().width()) << when;
        EXPECT_GE(count->width(), count->sizeHint().width()) << when;
        EXPECT_GT(count->x(), census->geometry().right()) << when;
        EXPECT_EQ(count->y(), census->y()) << when;
        EXPECT_LT(count->geometry().right(), Control<QPushButton>(IDC_DELETE)->x()) << when;
    };
    besideEachOther("first size");
    // Counts of two digits each still fit at the least size.
    count->setText(QStringLiteral("99 errors, 99 warnings"));
    m_dlg->resize(m_dlg->minimumSize());
    ASSERT_EQ(m_dlg->size(), m_dlg->minimumSize());
    besideEachOther("least size");
    EXPECT_EQ(census->text().toStdString(), "T= 0 CT= 0 VIP= 0");
}

INSTANTIATE_TEST_SUITE_P(FontSizes, DialogLintLayout, ::testing::Values(0, 12),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == 0 ? std::string("DesktopFont")
                                                      : std::to_string(tested.param) + "Points";
                         });

struct CountCase {
    const char* name;
    const char* entityText;
    const char* count;
};

class DialogLintCount : public DialogLint, public ::testing::WithParamInterface<CountCase> {};

TEST_P(DialogLintCount, SaysHowManyErrorsAndWarningsTheMapHas) {
    WriteMap("map.bsp", GetParam().entityText);
    Start();
    Select("map.bsp");
    WaitForMarks();
    EXPECT_EQ(Count(), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, DialogLintCount,
    ::testing::Values(
        CountCase{"None", kSpawnText, ""},
        CountCase{"OneError", "{\n\"classname\" \"light\"\n}\n", "1 error"},
        CountCase{"TwoErrors", "{\n\"classname\" \"light\"\n}\n{\n\"origin\" \"0 0 0\"\n}\n",
                  "2 errors"},
        CountCase{"OneWarning",
                  "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n\"a\" \"1\"\n"
                  "\"a\" \"2\"\n}\n",
                  "1 warning"},
        CountCase{"TwoWarnings",
                  "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n\"a\" \"1\"\n"
                  "\"a\" \"2\"\n\"angle\" \"-5\"\n}\n",
                  "2 warnings"},
        CountCase{"Both", kBroken, "2 errors, 1 warning"}),
    [](const ::testing::TestParamInfo<CountCase>& tested) { return tested.param.name; });

}  // namespace
}  // namespace entorra::testing
