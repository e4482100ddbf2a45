#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "entities/EntityBlocks.h"
#include "entities/EntitySearch.h"
#include "entities/MemoryEditor.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

struct Block {
    int start;
    int end;
    friend bool operator==(const Block&, const Block&) = default;
};

// The block found, or {-1, -1} for result 1.
Block Find(std::string_view searchString, std::string_view text, int start) {
    int blockStart = -5;
    int blockEnd = -5;
    const int result = FindEntityBlock(searchString, text, start, blockStart, blockEnd);
    EXPECT_TRUE(result == 0 || result == 1) << result;
    return result == 0 ? Block{blockStart, blockEnd} : Block{-1, -1};
}

constexpr Block kNone{-1, -1};

// Two blocks in editor form: {0..10} and {13..23}.
const std::string kTwo = "{\r\n\"a\" \"x\"}\r\n{\r\n\"b\" \"y\"}\r\n";

TEST(FindEntityBlock, StartOffsetRule) {
    ASSERT_EQ(kTwo.size(), 26u);
    EXPECT_EQ(Find("\"a\"", kTwo, 0), (Block{0, 10}));
    // Past the length: from the beginning again.
    EXPECT_EQ(Find("\"a\"", kTwo, 27), (Block{0, 10}));
    EXPECT_EQ(Find("\"b\"", kTwo, 1000), (Block{13, 23}));
    // Equal to the length: only the empty end is searched.
    EXPECT_EQ(Find("\"a\"", kTwo, 26), kNone);
    EXPECT_EQ(Find("\r\n", kTwo, 26), kNone);
    // The occurrence must start at or after the offset.
    EXPECT_EQ(Find("\"a\"", kTwo, 4), kNone);
    EXPECT_EQ(Find("\"a\"", kTwo, 3), (Block{0, 10}));
}

TEST(FindEntityBlock, LeftWalkIsBoundedByTheTextNotByTheStartOffset) {
    // The "{" lies before the start offset; the block is still found whole.
    EXPECT_EQ(Find("\"b\"", kTwo, 16), (Block{13, 23}));
    EXPECT_EQ(Find("y", kTwo, 20), (Block{13, 23}));
}

TEST(FindEntityBlock, OnlyTheFirstOccurrenceIsJudged) {
    // Before the first "{": not found, although both blocks contain the string.
    const std::string before = "x\r\n" + kTwo;
    EXPECT_EQ(Find("x", before, 0), kNone);
    // From behind the stray occurrence the block is found.
    EXPECT_EQ(Find("x", before, 1), (Block{3, 13}));
    // After the last "}": not found.
    EXPECT_EQ(Find("tail", kTwo + "tail\r\n", 0), kNone);
    // No "{" at all, or no "}" after the occurrence.
    EXPECT_EQ(Find("a", "\"a\"}", 0), kNone);
    EXPECT_EQ(Find("a", "{\"a\"", 0), kNone);
}

TEST(FindEntityBlock, OccurrenceBetweenTwoBlocksSpansBoth) {
    const std::string text = "{\r\n\"a\"\r\n}\r\nstray\r\n{\r\n\"b\"\r\n}\r\n";
    const Block block = Find("stray", text, 0);
    ASSERT_EQ(block, (Block{0, 26}));
    EXPECT_EQ(text[static_cast<std::size_t>(block.start)], '{');
    EXPECT_EQ(text[static_cast<std::size_t>(block.end)], '}');
    EXPECT_EQ(text.find("\"b\""), 21u);
}

TEST(FindEntityBlock, PlainCaseSensitiveSubstringSearch) {
    const std::string text =
        "{\r\n\"classname\" \"light_spot\"\r\n}\r\n{\r\n\"target\" \"lighthouse\"\r\n}\r\n";
    EXPECT_EQ(Find("light", text, 0), (Block{0, 29}));
    EXPECT_EQ(Find("light", text, 33), (Block{32, 58}));
    EXPECT_EQ(Find("Light", text, 0), kNone);
    EXPECT_EQ(Find("LIGHT_SPOT", text, 0), kNone);
    // Bytes above 127 compare as bytes.
    EXPECT_EQ(Find("\xE9t\xE9", "{\"\xE9t\xE9\"}", 0), (Block{0, 6}));
}

TEST(FindEntityBlock, BracesInsideTheSearchString) {
    // A leading "{" stops the left walk on the occurrence itself.
    const std::string nested = "{ outer {inner} }";
    EXPECT_EQ(Find("{inner", nested, 0), (Block{8, 14}));
    // The walks look only for their own brace: "}" is passed on the way left.
    EXPECT_EQ(Find("inner", "{ a } inner }", 0), (Block{0, 12}));
    // A "}" inside the occurrence ends the block there.
    EXPECT_EQ(Find("a}b", "{xa}b}", 0), (Block{0, 3}));
    EXPECT_EQ(Find("}", "{x}", 0), (Block{0, 2}));
    EXPECT_EQ(Find("{", "a{x}", 0), (Block{1, 3}));
}

TEST(FindEntityBlock, TheTextEndsAtItsFirstNul) {
    const std::string text = std::string("{\"a\"}\0{\"b\"}", 11);
    EXPECT_EQ(TextBeforeNul(text), "{\"a\"}");
    EXPECT_EQ(Find("b", TextBeforeNul(text), 0), kNone);
    // A start past the NUL is past the length: from the beginning.
    EXPECT_EQ(Find("a", TextBeforeNul(text), 8), (Block{0, 4}));
}

TEST(FindEntityBlock, BlockFinderGivesWhatTheFunctionGivesAtAnyOffsetOrder) {
    const std::string text = "x{a}{ a }a}{{a}}a{ }a";
    const CSearchString search("a");
    CBlockFinder finder(search, text);
    for (int pass = 0; pass < 2; ++pass) {
        for (int start = 0; start <= static_cast<int>(text.size()) + 1; ++start) {
            const int offset = pass == 0 ? start : static_cast<int>(text.size()) + 1 - start;
            int blockStart = 0;
            int blockEnd = 0;
            const int result = finder.Find(offset, blockStart, blockEnd);
            const Block expected = Find("a", text, offset);
            const Block found = result == 0 ? Block{blockStart, blockEnd} : kNone;
            EXPECT_EQ(found, expected) << offset;
        }
    }
}

TEST(SearchString, FindsWithinBoundsOnly) {
    const std::string text = "abcabcab";
    const CSearchString abc("abc");
    EXPECT_EQ(abc.FindIn(text.data(), 0, text.size()), 0u);
    EXPECT_EQ(abc.FindIn(text.data(), 1, text.size()), 3u);
    EXPECT_EQ(abc.FindIn(text.data(), 4, text.size()), std::string_view::npos);
    EXPECT_EQ(abc.FindIn(text.data(), 3, 5), std::string_view::npos);
    EXPECT_EQ(abc.FindIn(text.data(), 3, 6), 3u);
    EXPECT_EQ(CSearchString("").FindIn(text.data(), 0, text.size()), std::string_view::npos);
    EXPECT_EQ(CSearchString("b").FindIn(text.data(), 2, text.size()), 4u);
    // Repeats inside the search string: the skip table must not jump over a match.
    const std::string repeats = "aabaabaabaaab";
    EXPECT_EQ(CSearchString("aaab").FindIn(repeats.data(), 0, repeats.size()), 9u);
    EXPECT_EQ(CSearchString("abaa").FindIn(repeats.data(), 0, repeats.size()), 1u);
}

TEST(SearchString, AgreesWithStringFindOnRandomTexts) {
    std::mt19937 random(11);
    const auto below = [&random](int bound) {
        return std::uniform_int_distribution<int>(0, bound - 1)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        std::string needle;
        for (int i = below(40); i > 0; --i) {
            text.push_back("ab{}"[below(4)]);
        }
        for (int i = 1 + below(5); i > 0; --i) {
            needle.push_back("ab{}"[below(2 + below(3))]);
        }
        const CSearchString search(needle);
        for (std::size_t from = 0; from <= text.size(); ++from) {
            ASSERT_EQ(search.FindIn(text.data(), from, text.size()), text.find(needle, from))
                << text << " / " << needle << " / " << from;
        }
    }
}

TEST(Occurrences, AgreeWithFindInAcrossSearchWindows) {
    // Long enough for several of the windows searched ahead, with finds at their edges.
    std::mt19937 random(5);
    const auto below = [&random](std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
    };
    std::string text;
    while (text.size() < 200000) {
        text += below(3) == 0 ? "aab" : (below(2) == 0 ? "b" : "xyz");
    }
    for (const char* needle : {"a", "ab", "aab", "baab", "abxyzaab", "q"}) {
        const CSearchString search(needle);
        COccurrences occurrences(search, text);
        std::size_t from = 0;
        while (from <= text.size()) {
            const std::size_t to =
                below(4) == 0 ? std::min(from + below(70000), text.size()) : text.size();
            ASSERT_EQ(occurrences.Next(from, to), search.FindIn(text.data(), from, to))
                << needle << " " << from << " " << to;
            from += below(needle[0] == 'a' ? 9000 : 40);
        }
        // Going back is allowed too.
        EXPECT_EQ(occurrences.Next(0, text.size()), search.FindIn(text.data(), 0, text.size()));
    }
}

class CountEntityBlocksTest : public ::testing::Test {
protected:
    int Count(std::string_view text, std::string_view className) {
        editor.SetText(text);
        return search.CountEntityBlocks(className);
    }

    CMemoryEditor editor;
    CFixedSearchString source{"ignored"};
    testing::CRecordingSink sink;
    CEntitySearch search{editor, source, sink};
};

TEST_F(CountEntityBlocksTest, CountsBlocksNotOccurrences) {
    const std::string text =
        "{\r\n\"classname\" \"info_player_start\"\r\n\"target\" \"info_player_start\"\r\n}\r\n"
        "{\r\n\"classname\" \"info_player_start\"\r\n}\r\n"
        "{\r\n\"classname\" \"light\"\r\n}\r\n";
    EXPECT_EQ(Count(text, "info_player_start"), 2);
    EXPECT_EQ(Count(text, "info_vip_start"), 0);
    EXPECT_EQ(Count(text, "\"classname\""), 3);
    EXPECT_EQ(Count(text, "}"), 3);
}

TEST_F(CountEntityBlocksTest, StopsAtTheFirstOccurrenceOutsideEveryBlock) {
    EXPECT_EQ(Count("light\r\n{\"light\"}\r\n{\"light\"}\r\n", "light"), 0);
    EXPECT_EQ(Count("{\"light\"}\r\nlight\r\n{\"light\"}", "light"), 2);  // the second spans both
    EXPECT_EQ(Count("{\"light\"}\r\n{\"light\"}\r\nlight", "light"), 2);
}

TEST_F(CountEntityBlocksTest, LeavesTheSearchPositionAtZeroAndIgnoresTheSearchField) {
    editor.SetText("{\"a\"}\r\n{\"b\"}\r\n");
    search.SetSearchPosition(9);
    EXPECT_EQ(search.CountEntityBlocks("b"), 1);
    EXPECT_EQ(search.SearchPosition(), 0);
    search.SetSearchPosition(4);
    EXPECT_EQ(search.CountEntityBlocks("missing"), 0);
    EXPECT_EQ(search.SearchPosition(), 0);
    search.SetSearchPosition(4);
    EXPECT_EQ(search.CountEntityBlocks(""), 0);
    EXPECT_EQ(search.SearchPosition(), 0);
    // Counting neither selects nor edits.
    EXPECT_EQ(editor.GetSelection(), (TextSelection{0, 0}));
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.HasFocus());
}

}  // namespace
}  // namespace entorra
