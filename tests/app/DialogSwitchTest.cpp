// Choosing another map while the editor holds unsaved changes: the save question.

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

using DialogSwitch = DialogFixture;

TEST_F(DialogSwitch, YesSavesThePreviousMapThenShowsTheNewOneTwice) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    const std::string original = m_dir.File("original.bsp");
    std::filesystem::copy_file(a, original);
    m_bDump = true;
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_prompt.answers = {true};
    Select("b.bsp");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map a.bsp ?");
    EXPECT_EQ(fixtures::ReadFileBytes(a), ReferenceSave(original, edited, m_dir.File("ref.bsp")));
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
    EXPECT_EQ(Title(), "Entities for map b.bsp");
    EXPECT_FALSE(Editor().IsModified());
    const std::string b = MakeEditorText(kOtherText);
    EXPECT_EQ(m_dlg->DumpLog().Text(), MakeEditorText(kSpawnText) + b + b);
}

TEST_F(DialogSwitch, NoWritesNothingAndShowsTheNewMap) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    const fixtures::Bytes before = fixtures::ReadFileBytes(a);
    Start();
    Select("a.bsp");
    Edit();
    Select("b.bsp");
    EXPECT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(fixtures::ReadFileBytes(a), before);
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
    EXPECT_FALSE(Editor().IsModified());
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(DialogSwitch, NoQuestionWithoutChangesAndAnEmptyNameBeforeAnyMap) {
    WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    Start();
    Select("a.bsp");
    Select("b.bsp");
    EXPECT_TRUE(m_prompt.questions.empty());

    m_dlg.reset();
    Start();
    Edit();
    const std::string typed = Editor().GetText();
    m_prompt.answers = {true};
    Select("a.bsp");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0], "Do you want to save your changes to the map  ?");
    // Yes finds no map to save into: it says so, and the typing stays.
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0], "No map is loaded to save into.\nChoose a map first.");
    EXPECT_EQ(Editor().GetText(), typed);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(SelectedRow(), -1);

    // No lets the map come.
    Select("a.bsp");
    EXPECT_EQ(m_prompt.questions.size(), 2U);
    EXPECT_EQ(Editor().GetText(), MakeEditorText(kSpawnText));
}

TEST_F(DialogSwitch, AFailedSaveStaysOnTheEditedMap) {
    const std::string a = WriteMap("a.bsp", kSpawnText);
    WriteMap("b.bsp", kOtherText);
    Start();
    Select("a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    m_fileSystem.FailAt(FileStep::Replace);
    m_prompt.answers = {true};
    Select("b.bsp");
    EXPECT_TRUE(m_fileSystem.Triggered());
    EXPECT_EQ(Editor().GetText(), edited);
    EXPECT_TRUE(Editor().IsModified());
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(m_dlg->CurrentMapName(), "a.bsp");
    EXPECT_EQ(Title(), "Entities for map a.bsp");
}

}  // namespace
}  // namespace entorra::testing
