// The blocks Find and Find Next select one after another, against the dialog's commands run
// literally on the in-memory editor.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "bsp/BspFile.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/FindSequence.h"
#include "entities/MemoryEditor.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

// Find, then Find Next until nothing is found or the first block comes round again, as the
// dialog's handlers do it.
std::vector<TextSelection> LiteralRun(std::string_view searchString, std::string_view text) {
    CMemoryEditor editor(text);
    CFixedSearchString source{std::string(searchString)};
    testing::CRecordingSink sink;
    CEntitySearch search(editor, source, sink);
    std::vector<TextSelection> selections;
    search.SetSearchPosition(0);
    if (search.FindFromPosition()) {
        selections.push_back(editor.GetSelection());
        while (search.FindFromPosition() && editor.GetSelection() != selections.front()) {
            selections.push_back(editor.GetSelection());
        }
    }
    return selections;
}

struct FindCase {
    const char* name;
    std::string search;
    std::string text;
    std::size_t selections;
};

void PrintTo(const FindCase& findCase, std::ostream* out) {
    *out << findCase.name;
}

class FindSequence : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindSequence, SelectsWhatFindAndFindNextSelect) {
    const FindCase& findCase = GetParam();
    const std::vector<TextSelection> selections = FindSelections(findCase.search, findCase.text);
    EXPECT_EQ(selections, LiteralRun(findCase.search, findCase.text));
    EXPECT_EQ(selections.size(), findCase.selections);
}

const std::string kThree = MakeEditorText(
    "{\n\"classname\" \"info_player_start\"\n}\n{\n\"classname\" \"light\"\n}\n"
    "{\n\"classname\" \"info_player_start\"\n}\n{\n\"classname\" \"info_player_start\"\n}\n");

INSTANTIATE_TEST_SUITE_P(
    Texts, FindSequence,
    ::testing::Values(
        FindCase{"editor form, wraps after the last block", "info_player_start", kThree, 3},
        FindCase{"an occurrence twice in one block counts once", "classname", kThree, 4},
        FindCase{"no match", "armoury_entity", kThree, 0},
        FindCase{"empty search string", "", kThree, 0},
        FindCase{"search string cut at its NUL", std::string("light\0xx", 8), kThree, 1},
        FindCase{"text ending without a line end, selection cut at the end", "b", "{\"a\" \"b\"}",
                 1},
        FindCase{"an empty line after the last block stops Find Next", "x", "{x}\r\n{x}\r\n\r\n",
                 2},
        FindCase{"first occurrence before any block", "x", "x\r\n{x}\r\n{x}\r\n", 0},
        FindCase{"occurrence between blocks widens over both", "x", "{a}\r\nx\r\n{b}\r\n{x}\r\n",
                 2},
        FindCase{"search string holding braces", "}\r\n{", "{a}\r\n{b}\r\n{c}\r\n", 2},
        FindCase{"a NUL in the text ends it", "x", std::string("{x}\r\n\0{x}\r\n", 12), 1},
        FindCase{"many blocks", "info_player_deathmatch",
                 MakeEditorText(fixtures::MakeEntityText(500)), 100}),
    [](const ::testing::TestParamInfo<FindCase>& param) { return std::to_string(param.index); });

TEST(FindSequenceOnRealMaps, AgreesWithTheDialogsCommands) {
    const auto maps = testing::SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no shared maps beside the project";
    }
    for (const auto& map : maps) {
        testing::CRecordingSink sink;
        CBspFile file(sink);
        if (file.Load(map.string()) != 0) {
            continue;
        }
        const std::string text =
            MakeEditorText(std::string_view(file.GetEntityText(), file.EntityTextLength()));
        for (const char* search : {"info_player_start", "light", "\"origin\"", "}"}) {
            EXPECT_EQ(FindSelections(search, text), LiteralRun(search, text))
                << map.filename().string() << " " << search;
        }
    }
}

}  // namespace
}  // namespace entorra
