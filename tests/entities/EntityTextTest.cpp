#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/TextReplace.h"
#include "bsp/BspFile.h"
#include "bsp/FileText.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CRecordingSink;
using testing::CTempDir;

TEST(ReplaceAll, LeftToRightWithoutOverlapAndWithoutRescanningTheReplacement) {
    std::string text = "aaaa";
    EXPECT_EQ(ReplaceAll(text, "aa", "a"), 2);
    EXPECT_EQ(text, "aa");
    text = "\n\n";
    EXPECT_EQ(ReplaceAll(text, "\n", "\r\n"), 2);
    EXPECT_EQ(text, "\r\n\r\n");
    EXPECT_EQ(ReplaceAll(text, "", "x"), 0);
    EXPECT_EQ(text, "\r\n\r\n");
    EXPECT_EQ(ReplaceAll(text, "zz", "x"), 0);
    // The whole stored length, past a NUL too.
    text = std::string("a\0a", 3);
    EXPECT_EQ(ReplaceAll(text, "a", "bb"), 2);
    EXPECT_EQ(text, std::string("bb\0bb", 5));
}

TEST(MakeEditorText, LineEndsAndTheCutAfterTheLastBrace) {
    EXPECT_EQ(MakeEditorText("{\n\"classname\" \"worldspawn\"\n}\n"),
              "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n");
    // Whatever follows the last "}" goes.
    EXPECT_EQ(MakeEditorText("{\n}\n  stray words\n\n"), "{\r\n}\r\n");
    EXPECT_EQ(MakeEditorText("no braces\nat all\n"), "\r\n");
    EXPECT_EQ(MakeEditorText(""), "\r\n");
    // CR LF stays, a lone LF gets its CR, a lone CR stays, CR CR LF stays.
    EXPECT_EQ(MakeEditorText("{\r\na\nb\rc\r\r\n}"), "{\r\na\r\nb\rc\r\r\n}\r\n");
    // Nothing at the start is trimmed.
    EXPECT_EQ(MakeEditorText("\n  {\t}"), "\r\n  {\t}\r\n");
}

// The editor form as five literal steps with the replace-all rule.
std::string LiteralEditorText(std::string_view entityText) {
    std::string text(entityText);
    const std::size_t lastBrace = text.rfind('}');
    text.resize(lastBrace == std::string::npos ? 0 : lastBrace + 1);
    ReplaceAll(text, "\r\n", "\n");
    ReplaceAll(text, "\n", "\r\n");
    text += "\r\n";
    return text;
}

TEST(MakeEditorText, AgreesWithTheFiveStepsOnRandomTexts) {
    std::mt19937 random(7);
    static const char kBytes[] = {'{', '}', '\r', '\n', 'a', '"', ' '};
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        // Long enough to cross several 16-byte blocks of the vectorised copy.
        const auto length = std::uniform_int_distribution<int>(0, 80)(random);
        for (int i = 0; i < length; ++i) {
            text.push_back(kBytes[std::uniform_int_distribution<int>(0, 6)(random)]);
        }
        ASSERT_EQ(MakeEditorText(text), LiteralEditorText(text)) << ::testing::PrintToString(text);
    }
}

class EntityTextRoundTrip : public ::testing::Test {
protected:
    // Saves `editorText` into a fresh map as the dialog's Save does, and shows it again.
    std::string SaveAndShow(const std::string& editorText) {
        const std::string path = dir.File("round.bsp");
        fixtures::WriteFileBytes(path, fixtures::MakeMap("{\n\"classname\" \"worldspawn\"\n}\n"));
        CBspFile file(sink);
        EXPECT_EQ(file.Load(path), 0);
        std::string saved = editorText;
        EXPECT_EQ(file.Save(path, saved), 0);
        CBspFile again(sink);
        EXPECT_EQ(again.Load(path), 0);
        return MakeEditorText(std::string_view(again.GetEntityText(), again.EntityTextLength()));
    }

    CTempDir dir;
    CRecordingSink sink;
};

TEST_F(EntityTextRoundTrip, AnEditorFormBeginningWithABraceSurvivesSaveAndShow) {
    const std::string editorText = MakeEditorText(fixtures::MakeEntityText(30));
    ASSERT_EQ(editorText.front(), '{');
    EXPECT_EQ(SaveAndShow(editorText), editorText);

    // And so does what Delete All leaves of it.
    CMemoryEditor editor(editorText);
    CFixedSearchString source("info_player_start");
    CRecordingSink messages;
    CEntitySearch search(editor, source, messages);
    search.OnDeleteAll();
    ASSERT_EQ(messages.Last(),
              "6 entities containing the string\n\"info_player_start\"\nwere deleted.");
    EXPECT_EQ(SaveAndShow(editor.GetText()), editor.GetText());
}

TEST_F(EntityTextRoundTrip, TextBeforeTheFirstBraceAndACrBeforeCrLfDoNotSurvive) {
    EXPECT_EQ(SaveAndShow("junk\r\n{\r\n}\r\n"), "{\r\n}\r\n");
    EXPECT_EQ(SaveAndShow("{\r\r\n}\r\n"), "{\r\n}\r\n");
    // A CR on its own is kept.
    EXPECT_EQ(SaveAndShow("{\r\n\"a\" \"b\rc\"\r\n}\r\n"), "{\r\n\"a\" \"b\rc\"\r\n}\r\n");
}

}  // namespace
}  // namespace entorra
