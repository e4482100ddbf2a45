// Shut-down: however the dialog ends (Exit, Escape, the close box) it offers to save, stores
// the map folder and, with the switch, writes the entity dump log, in that order and once.

#include <QApplication>
#include <QTest>

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

class DialogClose : public DialogFixture, public ::testing::WithParamInterface<int> {
protected:
    // Ends the shown dialog the way the parameter says.
    void CloseDialog() {
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
        switch (GetParam()) {
            case 0:
                Click(IDOK);
                break;
            case 1:  // from the editor, which passes Escape on
                Editor().setFocus();
                QTest::keyClick(&Editor(), Qt::Key_Escape);
                break;
            default:
                m_dlg->close();  // the close box
                break;
        }
    }
    std::string DumpPath() const { return m_rules.dumpLogPath; }
};

std::string WayName(const ::testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"Exit", "Escape", "CloseBox"};
    return kNames[info.param];
}

TEST_P(DialogClose, EndsWithoutQuestionWhenUnchangedAndStoresTheFolderAsItStands) {
    const std::string odd = m_dir.File("odd//maps dir");  // kept exactly, doubled separator too
    std::filesystem::create_directories(odd);
    WriteMap("a.bsp", kSpawnText, odd + "/");
    StoreMapFolder(m_settings, odd + "/");
    Start();
    CloseDialog();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_TRUE(m_prompt.questions.empty());
    EXPECT_EQ(StoredFolder(), odd + "/");
    const auto raw =
        m_settings.ReadValue(SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue);
    ASSERT_TRUE(raw);
    EXPECT_EQ(*raw, odd + "/" + std::string(1, '\0'));
    EXPECT_FALSE(std::filesystem::exists(DumpPath()));
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_P(DialogClose, OffersToSaveChangesAndYesWritesTheMap) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    m_bDump = true;
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_prompt.answers = {true};
    CloseDialog();
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map a.bsp ?");
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_NE(FileText(a).find("\"edited\" \"1\""), std::string::npos);
    EXPECT_EQ(StoredFolder(), m_folder);
    // The save shows the map again, so the log holds it once more, and is written last.
    EXPECT_EQ(FileText(DumpPath()), MakeEditorText(kSpawnText) + edited);
    ASSERT_EQ(m_prompt.messages.size(), 2U);
    EXPECT_EQ(m_prompt.messages[0], "The file:  a.bsp\nwas saved!");
    EXPECT_EQ(m_prompt.messages[1], std::string(kDumpedMessage) + DumpPath());
}

TEST_P(DialogClose, NoLeavesTheMapAsItWas) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);
    Start();
    Select("a.bsp");
    Edit();
    CloseDialog();
    EXPECT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    EXPECT_EQ(StoredFolder(), m_folder);
}

TEST_P(DialogClose, AFailedSaveKeepsTheDialogOpenWithTheChanges) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);
    Start();
    Select("a.bsp");
    Edit();
    m_fileSystem.FailAt(FileStep::Write);
    m_prompt.answers = {true};
    CloseDialog();
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);

    CloseDialog();  // No this time
    EXPECT_EQ(m_prompt.questions.size(), 2U);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(StoredFolder(), m_folder);
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogClose, ::testing::Values(0, 1, 2), WayName);

using DialogDumpLog = DialogFixture;

TEST_F(DialogDumpLog, WithoutTheSwitchNothingIsCollectedOrWritten) {
    WriteMap("a.bsp", kSpawnText);
    Start();
    Select("a.bsp");
    Click(IDOK);
    EXPECT_EQ(m_dlg->DumpLog().Text(), "");
    EXPECT_FALSE(std::filesystem::exists(m_rules.dumpLogPath));
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogDumpLog, LoadsOfABAGiveABAAndAFailedLoadAddsNothing) {
    WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    fixtures::WriteFileBytes(m_folder + "c.bsp",
                             fixtures::CMapBuilder().Version(29).EntityText(kOtherText).Build());
    m_bDump = true;
    Start();
    Select("a.bsp");
    Select("b.bsp");
    Select("c.bsp");
    Select("a.bsp");
    Click(IDOK);
    const std::string a = MakeEditorText(kSpawnText);
    const std::string b = MakeEditorText(kOtherText);
    EXPECT_EQ(FileText(m_rules.dumpLogPath), a + b + a);
    ASSERT_EQ(m_prompt.messages.size(), 2U);
    EXPECT_EQ(
        m_prompt.messages[1],
        "A file of all entities read during this session was dumped to:\n" + m_rules.dumpLogPath);
}

TEST_F(DialogDumpLog, AnEmptyLogWritesAnEmptyFileAndTheMessage) {
    fixtures::WriteFileBytes(m_rules.dumpLogPath, {'o', 'l', 'd'});
    WriteMap("a.bsp", kSpawnText);
    m_bDump = true;
    Start();
    Click(IDOK);
    EXPECT_EQ(FileText(m_rules.dumpLogPath), "");
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], std::string(kDumpedMessage) + m_rules.dumpLogPath);
}

TEST_F(DialogDumpLog, AFailureWhileWritingIsReportedAndTheProgramStillEnds) {
    WriteMap("a.bsp", kSpawnText);
    m_bDump = true;
    Start();
    Select("a.bsp");
    m_fileSystem.FailAt(FileStep::Flush);
    Click(IDOK);
    EXPECT_FALSE(m_dlg->isVisible());
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_NE(m_prompt.messages[0].find(m_rules.dumpLogPath), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_rules.dumpLogPath));
    EXPECT_EQ(m_dir.Entries(), (std::vector<std::string>{"home", "maps"}));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path() / "home"));
}

}  // namespace
}  // namespace entorra::testing
