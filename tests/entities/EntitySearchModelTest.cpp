// The commands against the literal model on many random texts: agreement shows that the
// one-sweep Delete All and the remembering block finder give exactly the passes of the
// straightforward algorithm.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "entities/EntityBlocks.h"
#include "entities/EntitySearch.h"
#include "entities/MemoryEditor.h"
#include "tests/entities/EntityModel.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::ModelBlock;
using testing::ModelDialog;
using testing::ModelFind;
using testing::ModelOf;

class CRandomTexts {
public:
    explicit CRandomTexts(unsigned seed) : m_random(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    // Braces, line ends, quotes and a few words; now and then a NUL.
    std::string Text(bool withNul) {
        static const char* const kPieces[] = {"{",  "}",     "\r",    "\n",         "\r\n",
                                              "\"", "a",     "b",     "ab",         "x",
                                              " ",  "{\r\n", "}\r\n", "\"a\" \"b\""};
        constexpr int kPieceCount = static_cast<int>(std::size(kPieces));
        std::string text;
        const int pieces = Below(30);
        for (int i = 0; i < pieces; ++i) {
            if (withNul && Below(25) == 0) {
                text.push_back('\0');
            } else {
                text += kPieces[Below(kPieceCount)];
            }
        }
        return text;
    }

    // Entity text in editor form with a stray line or brace here and there.
    std::string EntityLike() {
        static const char* const kLines[] = {"\"classname\" \"a\"", "\"target\" \"ab\"",
                                             "\"origin\" \"0 0 0\"", "b", "\"x\" \"{\""};
        std::string text;
        const int blocks = Below(8);
        for (int block = 0; block < blocks; ++block) {
            if (Below(6) == 0) {
                text += "a\r\n";
            }
            text += Below(10) == 0 ? "" : "{\r\n";
            const int lines = Below(4);
            for (int line = 0; line < lines; ++line) {
                text += kLines[Below(static_cast<int>(std::size(kLines)))];
                text += "\r\n";
            }
            text += Below(10) == 0 ? "" : "}\r\n";
        }
        if (Below(3) == 0 && !text.empty()) {
            text.resize(text.size() - static_cast<std::size_t>(1 + Below(2)));
        }
        return text;
    }

    std::string AnyText() {
        switch (Below(3)) {
            case 0:
                return EntityLike();
            case 1:
                return Text(true);
            default:
                return Text(false);
        }
    }

    std::string SearchString() {
        static const char* const kStrings[] = {"a",  "b",    "ab", "ba", "aa",    "{",      "}",
                                               "\"", "\r\n", "a}", "{a", "\"a\"", "}\r\n{", "x"};
        return kStrings[Below(static_cast<int>(std::size(kStrings)))];
    }

private:
    std::mt19937 m_random;
};

class EntitySearchModel : public ::testing::Test {
protected:
    void Expect(const ModelDialog& model, const char* step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(editor.GetText(), model.text);
        EXPECT_EQ(search.SearchPosition(), model.position);
        EXPECT_EQ(editor.GetSelection(), (TextSelection{model.selectionStart, model.selectionEnd}));
        EXPECT_EQ(editor.IsModified(), model.modified);
        EXPECT_EQ(sink.messages, model.messages);
    }

    CRandomTexts random{20240611};
    CMemoryEditor editor;
    CFixedSearchString source;
    testing::CRecordingSink sink;
    CEntitySearch search{editor, source, sink};
};

TEST_F(EntitySearchModel, BlocksAndCountsAgree) {
    for (int round = 0; round < 4000; ++round) {
        const std::string text = random.AnyText();
        const std::string searchString = random.SearchString();
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + searchString);

        const std::string_view finderText = TextBeforeNul(text);
        const CSearchString prepared(searchString);
        CBlockFinder finder(prepared, finderText);
        for (int start = 0; start <= static_cast<int>(text.size()) + 2; ++start) {
            const ModelBlock expected = ModelFind(searchString, text, start);
            int blockStart = -1;
            int blockEnd = -1;
            const int result = FindEntityBlock(prepared, finderText, start, blockStart, blockEnd);
            ASSERT_EQ(result, expected.found ? 0 : 1) << start;
            if (expected.found) {
                EXPECT_EQ(blockStart, expected.start) << start;
                EXPECT_EQ(blockEnd, expected.end) << start;
            }
            int finderStart = -1;
            int finderEnd = -1;
            ASSERT_EQ(finder.Find(start, finderStart, finderEnd), result) << start;
            if (expected.found) {
                EXPECT_EQ(finderStart, expected.start) << start;
                EXPECT_EQ(finderEnd, expected.end) << start;
            }
        }

        ModelDialog model = ModelOf(text);
        editor.SetText(text);
        search.SetSearchPosition(random.Below(static_cast<int>(text.size()) + 3));
        EXPECT_EQ(search.CountEntityBlocks(searchString), model.Count(searchString));
        EXPECT_EQ(search.SearchPosition(), 0);
    }
}

TEST_F(EntitySearchModel, DeleteAllAgreesAndUndoesInOneStep) {
    int deletedSomething = 0;
    int startedOver = 0;
    int passesFromTheTop = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string text = random.AnyText();
        const std::string searchString = random.SearchString();
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + searchString);

        ModelDialog model = ModelOf(text);
        editor.SetText(text);
        sink.messages.clear();
        source.Set(searchString);
        // A selection and a position from before; Delete All starts at 0 regardless.
        const int size = static_cast<int>(text.size());
        const int selectionStart = random.Below(size + 1);
        editor.SetSelection(selectionStart, selectionStart + random.Below(size + 1));
        model.SetSelection(selectionStart, editor.GetSelection().end);
        search.SetSearchPosition(random.Below(size + 3));

        model.DeleteAll(searchString);
        search.OnDeleteAll();
        Expect(model, "Delete All");
        if (model.modified) {
            ++deletedSomething;
            if (model.position > static_cast<int>(model.text.size())) {
                ++startedOver;
            }
            passesFromTheTop += model.passesFromTheTop;
            editor.Undo();
            EXPECT_EQ(editor.GetText(), text);
            EXPECT_FALSE(editor.CanUndo());
        }
    }
    // The random texts reach the interesting cases often.
    EXPECT_GT(deletedSomething, 4000);
    EXPECT_GT(startedOver, 1000);
    EXPECT_GT(passesFromTheTop, 100);
}

TEST_F(EntitySearchModel, CommandSequencesAgree) {
    for (int round = 0; round < 2000; ++round) {
        const std::string text = random.AnyText();
        SCOPED_TRACE(::testing::PrintToString(text));
        ModelDialog model = ModelOf(text);
        editor.SetText(text);
        sink.messages.clear();
        search.SetSearchPosition(0);
        std::string searchString = random.SearchString();
        source.Set(searchString);

        for (int step = 0; step < 12; ++step) {
            switch (random.Below(7)) {
                case 0:
                    model.position = 0;
                    model.FindFromPosition(searchString);
                    search.OnFind();
                    Expect(model, "Find");
                    break;
                case 1:
                case 2:
                    model.FindFromPosition(searchString);
                    search.OnFindNext();
                    Expect(model, "Find Next");
                    break;
                case 3:
                    model.Delete();
                    search.OnDelete();
                    Expect(model, "Delete");
                    break;
                case 4:
                    model.DeleteAll(searchString);
                    search.OnDeleteAll();
                    Expect(model, "Delete All");
                    break;
                case 5: {
                    const int size = static_cast<int>(model.text.size());
                    const int start = random.Below(size + 1);
                    const int end = start + random.Below(size - start + 1);
                    model.SetSelection(start, end);
                    editor.SetSelection(start, end);
                    Expect(model, "select");
                    break;
                }
                default:
                    searchString = random.SearchString();
                    source.Set(searchString);
                    EXPECT_EQ(search.CountEntityBlocks(searchString), model.Count(searchString));
                    Expect(model, "count");
                    break;
            }
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

}  // namespace
}  // namespace entorra
