// The save question on screen: only Yes or No answers it. Escape and the close box, which
// would otherwise count as No and throw the changes away, leave it asking.

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

enum class Leaving { ToAnotherMap, ByClosing };
enum class Dismissal { Escape, CloseBox };

struct QuestionCase {
    const char* name;
    Leaving leaving;
    Dismissal dismissal;
};

class DialogQuestion : public DialogFixture, public ::testing::WithParamInterface<QuestionCase> {
protected:
    // When the question comes: the dismissal first, then, if it is still there, No.
    void AnswerWhenAsked() {
        QTimer::singleShot(20, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                if (++m_nTries < 200) {
                    AnswerWhenAsked();
                }
                return;
            }
            QPointer<QMessageBox> question(box);
            m_strAsked = box->text().toStdString();
            m_bCloseButton = box->windowFlags().testFlag(Qt::WindowCloseButtonHint);
            if (GetParam().dismissal == Dismissal::Escape) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->close();
            }
            QApplication::processEvents();
            m_bStayed = question != nullptr && question->isVisible();
            if (question != nullptr && question->isVisible()) {
                question->button(QMessageBox::No)->click();
            }
        });
    }

    int m_nTries = 0;
    std::string m_strAsked;
    bool m_bStayed = false;
    bool m_bCloseButton = true;
};

TEST_P(DialogQuestion, StaysUntilYesOrNo) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);
    m_bRealPrompt = true;
    Start();
    m_dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    Select("a.bsp");
    Edit();
    AnswerWhenAsked();
    if (GetParam().leaving == Leaving::ToAnotherMap) {
        Select("b.bsp");
    } else {
        m_dlg->close();
    }
    EXPECT_EQ(m_strAsked, "Do you want to save your changes to the map a.bsp ?");
    EXPECT_TRUE(m_bStayed);
    EXPECT_FALSE(m_bCloseButton);
    // Then No: nothing written, and the dialog goes on as asked.
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    if (GetParam().leaving == Leaving::ToAnotherMap) {
        EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
        EXPECT_TRUE(m_dlg->isVisible());
    } else {
        EXPECT_FALSE(m_dlg->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DialogQuestion,
    ::testing::Values(QuestionCase{"SwitchEscape", Leaving::ToAnotherMap, Dismissal::Escape},
                      QuestionCase{"SwitchCloseBox", Leaving::ToAnotherMap, Dismissal::CloseBox},
                      QuestionCase{"CloseEscape", Leaving::ByClosing, Dismissal::Escape},
                      QuestionCase{"CloseCloseBox", Leaving::ByClosing, Dismissal::CloseBox}),
    [](const ::testing::TestParamInfo<QuestionCase>& tested) {
        return std::string(tested.param.name);
    });

}  // namespace
}  // namespace entorra::testing
