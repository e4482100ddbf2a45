// Save while another program changed the shown map on disk: the edits are not written over
// its map; the dialog says so and offers to show the map again.

#include <thread>

#include "tests/app/DialogFixture.h"

namespace entorra::testing {
namespace {

class DialogChangedOnDisk : public DialogFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(DialogChangedOnDisk, SaveKeepsTheirMapAndOffersToShowItAgain) {
    const bool showAgain = GetParam();
    const std::string map = WriteMap("de_a.bsp", kSpawnText);
    Start();
    Select("de_a.bsp");
    Edit();
    const std::string edited = Editor().GetText();
    // Another program's save, past the clock's granularity.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteMap("de_a.bsp", kOtherText);
    const fixtures::Bytes theirs = fixtures::ReadFileBytes(map);

    m_prompt.answers = {showAgain};
    Click(IDC_SAVE);
    EXPECT_EQ(fixtures::ReadFileBytes(map), theirs);
    ASSERT_EQ(m_prompt.messages.size(), 1U);
    EXPECT_EQ(m_prompt.messages[0],
              "Error saving the file: de_a.bsp.\nThe map was changed on disk since it was "
              "loaded: saving now would undo that change.");
    ASSERT_EQ(m_prompt.questions.size(), 1U);
    EXPECT_EQ(m_prompt.questions[0],
              "The map de_a.bsp was changed on disk since it was shown.\nDo you want to show it "
              "again? Your changes will be lost.");
    EXPECT_EQ(Title(), "Entities for map de_a.bsp");
    if (showAgain) {
        EXPECT_EQ(Editor().GetText(), MakeEditorText(kOtherText));
        EXPECT_FALSE(Editor().IsModified());
        EXPECT_EQ(Census(), "T= 0 CT= 1 VIP= 0");
        // Their map is now the one shown: a save writes over it.
        Edit();
        Click(IDC_SAVE);
        EXPECT_EQ(m_prompt.messages.back(), "The file:  de_a.bsp\nwas saved!");
    } else {
        EXPECT_EQ(Editor().GetText(), edited);
        EXPECT_TRUE(Editor().IsModified());
        // Still refused on the next try: the edits belong to the map as it was.
        Click(IDC_SAVE);
        EXPECT_EQ(fixtures::ReadFileBytes(map), theirs);
        EXPECT_EQ(m_prompt.questions.size(), 2U);
        EXPECT_TRUE(Editor().IsModified());
    }
}

INSTANTIATE_TEST_SUITE_P(DialogChangedOnDisk, DialogChangedOnDisk, ::testing::Bool(),
                         [](const auto& test) {
                             return std::string(test.param ? "ShowAgain" : "KeepTheEdits");
                         });

}  // namespace
}  // namespace entorra::testing
