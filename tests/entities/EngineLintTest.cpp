// The engine lint: each rule of the engines' tokeniser, block parser and limits on a text made
// for it, per engine profile, and the real maps beside the project.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "entities/EngineLint.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using S = LintSeverity;
using P = EngineProfile;

// A finding as a case expects it: where, how severe, and a piece of its message.
struct Expected {
    int line;
    int column;
    S severity;
    const char* fragment;
};

struct RuleCase {
    const char* name;
    P engine;
    std::string text;
    std::vector<Expected> expected;
    int players = 32;
    int edicts = 0;
    CodePage codePage = CodePage::Windows1252;
};

void PrintTo(const RuleCase& rule, std::ostream* out) {
    *out << rule.name;
}

std::string Describe(const std::vector<EngineFinding>& findings) {
    std::string text;
    for (const EngineFinding& finding : findings) {
        text += Format("  %d:%d %s %s\n", finding.line, finding.column,
                       LintSeverityName(finding.severity), finding.message.c_str());
    }
    return text;
}

const std::string kWorld = "{\n\"classname\" \"worldspawn\"\n}\n";  // lines 1-3

// A block of the given class with the given pair lines, from line 4 on after the world.
std::string WithBlock(const std::string& className, const std::string& pairs) {
    return kWorld + "{\n\"classname\" \"" + className + "\"\n" + pairs + "}\n";
}

std::string Repeated(char c, std::size_t count) {
    return std::string(count, c);
}

std::string ManyTargets(int count) {
    std::string pairs = "\"targetname\" \"mm\"\n\"origin\" \"0 0 0\"\n\"wait\" \"1\"\n";
    for (int i = 0; i < count; ++i) {
        pairs += Format("\"t%d\" \"%d\"\n", i, i);
    }
    return WithBlock("multi_manager", pairs);
}

std::string ManyPairs(int count) {
    std::string pairs;
    for (int i = 0; i < count; ++i) {
        pairs += Format("\"k%d\" \"v\"\n", i);
    }
    return WithBlock("info_target", pairs);
}

std::string Blocks(int count) {
    std::string text = kWorld;
    for (int i = 1; i < count; ++i) {
        text += "{\n\"classname\" \"info_target\"\n}\n";
    }
    return text;
}

class EngineRule : public ::testing::TestWithParam<RuleCase> {};

std::string CaseIndex(const ::testing::TestParamInfo<RuleCase>& param) {
    return std::to_string(param.index);
}

TEST_P(EngineRule, FindsWhatTheEngineDoes) {
    const RuleCase& rule = GetParam();
    EngineLintOptions options;
    options.engine = rule.engine;
    options.players = rule.players;
    options.edicts = rule.edicts;
    options.codePage = rule.codePage;
    const std::vector<EngineFinding> findings = LintForEngine(rule.text, options);
    ASSERT_EQ(findings.size(), rule.expected.size()) << Describe(findings);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const EngineFinding& finding = findings[i];
        const Expected& expected = rule.expected[i];
        EXPECT_EQ(finding.line, expected.line) << Describe(findings);
        EXPECT_EQ(finding.column, expected.column) << Describe(findings);
        EXPECT_EQ(finding.severity, expected.severity) << Describe(findings);
        EXPECT_NE(finding.message.find(expected.fragment), std::string::npos)
            << "wanted \"" << expected.fragment << "\" in:\n"
            << Describe(findings);
    }
}

// The tokeniser.
INSTANTIATE_TEST_SUITE_P(
    Tokens, EngineRule,
    ::testing::Values(
        RuleCase{"clean", P::GoldSrc, WithBlock("light", "\"origin\" \"0 0 0\"\n"), {}},
        RuleCase{"comments and CR LF are skipped",
                 P::GoldSrc,
                 "// first\r\n{\r\n\"classname\" \"worldspawn\" // world\r\n}\r\n// last",
                 {}},
        RuleCase{"a quoted string spans lines",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" \"two\nlines\"\n"),
                 {}},
        RuleCase{"unterminated quote runs to the end",
                 P::GoldSrc,
                 kWorld + "{\n\"classname\" \"light\"\n\"origin\" \"0 0 0\n}\n",
                 {{4, 1, S::Error, "EOF without closing brace"},
                  {6, 10, S::Error, "unterminated quote"}}},
        RuleCase{"unquoted ( ) are tokens of their own",
                 P::GoldSrc,
                 WithBlock("info_target", "\"target\" x(y)\n"),
                 {{7, 1, S::Error, "closing brace without data: the key \")\""}}},
        RuleCase{"unquoted : is a token in GoldSrc",
                 P::GoldSrc,
                 WithBlock("info_target", "\"target\" a:\n"),
                 {{7, 1, S::Error, "closing brace without data: the key \":\""}}},
        RuleCase{"unquoted : is part of a word in Xash",
                 P::Xash,
                 WithBlock("info_target", "\"target\" a:\n"),
                 {}},
        RuleCase{"unquoted , is a token everywhere",
                 P::Xash,
                 WithBlock("info_target", "\"target\" a,\n"),
                 {{7, 1, S::Error, "closing brace without data: the key \",\""}}},
        RuleCase{"a string of 1022 bytes is one token",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 1022) + "\"\n"),
                 {}},
        RuleCase{"a string of 1023 bytes leaves an empty token",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 1023) + "\"\n"),
                 {{6, 11, S::Warning, "string of 1023 bytes: the engine keeps 1023"},
                  {7, 1, S::Error, "closing brace without data: the key \"\""}}},
        RuleCase{"a string of 1500 bytes shifts the pairs",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 1500) + "\"\n"),
                 {{6, 11, S::Warning, "string of 1500 bytes"},
                  {7, 1, S::Error, "closing brace without data"}}},
        RuleCase{"a word of 1500 bytes shifts the pairs",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" " + Repeated('a', 1500) + "\n"),
                 {{6, 11, S::Warning, "word of 1500 bytes"},
                  {7, 1, S::Error, "closing brace without data"}}},
        RuleCase{"Xash keeps 2047 bytes and drops the rest",
                 P::Xash,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 3000) + "\"\n"),
                 {{6, 11, S::Warning, "keeps the first 2047 and drops the rest"}}},
        RuleCase{"Xash keeps a string of 2047 bytes",
                 P::Xash,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 2047) + "\"\n"),
                 {}},
        RuleCase{"text after a NUL byte is ignored",
                 P::GoldSrc,
                 kWorld + std::string("\0{ \"classname\" \"light\" }", 24),
                 {{4, 1, S::Warning, "ignores the 23 bytes after it"}}},
        RuleCase{"a NUL at the end is nothing", P::GoldSrc, kWorld + std::string("\0\n", 2), {}}),
    CaseIndex);

// The block parser.
INSTANTIATE_TEST_SUITE_P(
    Blocks, EngineRule,
    ::testing::Values(
        RuleCase{"a stray byte after the last block stops the map",
                 P::GoldSrc,
                 kWorld + "\xB7",
                 {{4, 1, S::Error, "found \"\\xB7\" when expecting {"}}},
        RuleCase{"a byte order mark stops the map",
                 P::Xash,
                 "\xEF\xBB\xBF" + kWorld,
                 {{1, 1, S::Error, "(a UTF-8 byte order mark)"}}},
        RuleCase{"a run of stray tokens is one finding",
                 P::GoldSrc,
                 kWorld + "light \"k\" \"v\"\n}\n" + kWorld.substr(0, 2) +
                     "\"classname\" \"light\"\n}\n",
                 {{4, 1, S::Error, "found \"light\" when expecting {"}}},
        RuleCase{"EOF without closing brace",
                 P::GoldSrc,
                 kWorld + "{\n\"classname\" \"light\"\n",
                 {{4, 1, S::Error, "EOF without closing brace"}}},
        RuleCase{"EOF after a key",
                 P::Xash,
                 kWorld + "{\n\"classname\" \"light\"\n\"origin\"",
                 {{4, 1, S::Error, "EOF without closing brace"}}},
        RuleCase{"closing brace without data",
                 P::GoldSrc,
                 WithBlock("light", "\"origin\"\n"),
                 {{7, 1, S::Error, "closing brace without data: the key \"origin\""}}},
        RuleCase{"a value on the next line shifts the pairs",
                 P::GoldSrc,
                 WithBlock("info_target", "\"target\"\n\"t\" \"u\"\n"),
                 {{6, 1, S::Warning, "\"target\" has no value on its line"},
                  {8, 1, S::Error, "closing brace without data: the key \"u\""}}},
        RuleCase{"two pairs on one line are fine",
                 P::GoldSrc,
                 WithBlock("info_target", "\"target\" \"t\" \"speed\" \"1\"\n"),
                 {}},
        RuleCase{"a block without classname stops GoldSrc",
                 P::GoldSrc,
                 kWorld + "{\n\"origin\" \"0 0 0\"\n}\n",
                 {{4, 1, S::Error, "block without \"classname\": the engine leaves it unread"}}},
        RuleCase{"an empty block stops GoldSrc",
                 P::Hl25,
                 kWorld + "{\n}\n",
                 {{4, 1, S::Error, "block without \"classname\""}}},
        RuleCase{"a classname key with trailing spaces is no classname",
                 P::GoldSrc,
                 kWorld + "{\n\"classname \" \"light\"\n}\n",
                 {{4, 1, S::Error, "block without \"classname\""},
                  {5, 1, S::Warning, "drops the trailing spaces of the key \"classname \""}}},
        RuleCase{"Xash drops a block without classname",
                 P::Xash,
                 kWorld + "{\n\"origin\" \"0 0 0\"\n}\n",
                 {{4, 1, S::Warning, "block without \"classname\": the engine drops it"}}},
        RuleCase{"the first block must be worldspawn",
                 P::GoldSrc,
                 "{\n\"classname\" \"light\"\n}\n",
                 {{1, 1, S::Error, "its classname is \"light\", not \"worldspawn\""}}},
        RuleCase{"a world without classname",
                 P::Xash,
                 "{\n\"message\" \"m\"\n}\n",
                 {{1, 1, S::Error, "first block becomes the world"}}},
        RuleCase{"a second worldspawn",
                 P::GoldSrc,
                 kWorld + kWorld,
                 {{4, 1, S::Warning, "a second \"worldspawn\""}}},
        RuleCase{"no block at all",
                 P::GoldSrc,
                 "// nothing\n",
                 {{1, 1, S::Error, "the text holds no block"}}},
        RuleCase{"a key cut to 255 bytes",
                 P::GoldSrc,
                 WithBlock("info_target", "\"" + Repeated('k', 300) + "\" \"1\"\n"),
                 {{6, 1, S::Warning, "key of 300 bytes: the engine keeps the first 255"}}},
        RuleCase{"a key loses its trailing spaces",
                 P::GoldSrc,
                 WithBlock("info_target", "\"target  \" \"t\"\n"),
                 {{6, 1, S::Warning, "drops the trailing spaces"}}},
        RuleCase{"Xash keeps trailing spaces",
                 P::Xash,
                 WithBlock("info_target", "\"target  \" \"t\"\n"),
                 {}},
        RuleCase{"a pair valued with the classname is skipped",
                 P::GoldSrc,
                 WithBlock("light", "\"targetname\" \"light\"\n"),
                 {{6, 1, S::Warning, "skips this pair: its value is the block's classname"}}},
        RuleCase{"Xash keeps a pair valued with the classname",
                 P::Xash,
                 WithBlock("light", "\"targetname\" \"light\"\n"),
                 {}},
        RuleCase{"a key given twice",
                 P::GoldSrc,
                 WithBlock("light", "\"origin\" \"1\"\n\"origin\" \"2\"\n"),
                 {{7, 1, S::Warning, "the key \"origin\" is given twice"}}},
        RuleCase{"a key given twice with the same value",
                 P::GoldSrc,
                 WithBlock("light", "\"origin\" \"1\"\n\"origin\" \"1\"\n"),
                 {}},
        RuleCase{"the classname pair twice",
                 P::GoldSrc,
                 WithBlock("light", "\"classname\" \"light\"\n"),
                 {}},
        RuleCase{"wad paths hold backslashes",
                 P::GoldSrc,
                 "{\n\"wad\" \"\\half-life\\valve\\halflife.wad\"\n\"classname\" "
                 "\"worldspawn\"\n}\n",
                 {}},
        RuleCase{"a classname given twice",
                 P::GoldSrc,
                 WithBlock("light", "\"classname\" \"info_target\"\n"),
                 {{6, 1, S::Warning, "the key \"classname\" is given twice"}}},
        RuleCase{"Xash ignores an empty value",
                 P::Xash,
                 WithBlock("light", "\"target\" \"\"\n"),
                 {{6, 1, S::Information, "ignores a pair with an empty key or value"}}}),
    CaseIndex);

// "angle" becoming "angles".
INSTANTIATE_TEST_SUITE_P(
    Angles, EngineRule,
    ::testing::Values(RuleCase{"a yaw",
                               P::GoldSrc,
                               WithBlock("info_player_start", "\"angle\" \"90\"\n"),
                               {{6, 1, S::Information, "into \"angles\" with a yaw of \"90\""}}},
                      RuleCase{"-1 is up",
                               P::GoldSrc,
                               WithBlock("func_door", "\"angle\" \"-1\"\n"),
                               {{6, 1, S::Information, "\"-90 0 0\" (up)"}}},
                      RuleCase{"-2 is down",
                               P::Xash,
                               WithBlock("func_door", "\"angle\" \"-2\"\n"),
                               {{6, 1, S::Information, "\"90 0 0\" (down)"}}},
                      RuleCase{
                          "-90 points down in GoldSrc",
                          P::GoldSrc,
                          WithBlock("info_player_start", "\"angle\" \"-90\"\n"),
                          {{6, 1, S::Warning, "becomes \"angles\" \"90 0 0\" (down), not a yaw"}}},
                      RuleCase{"-90 is no angle in Xash",
                               P::Xash,
                               WithBlock("info_player_start", "\"angle\" \"-90\"\n"),
                               {{6, 1, S::Warning, "becomes \"angles\" \"0 0 0\", not a yaw"}}}),
    CaseIndex);

// Values: backslashes, escapes, code pages.
INSTANTIATE_TEST_SUITE_P(
    Values, EngineRule,
    ::testing::Values(RuleCase{"a backslash in a value",
                               P::GoldSrc,
                               WithBlock("ambient_generic", "\"message\" \"ambience\\wind.wav\"\n"),
                               {{6, 20, S::Warning, "backslash in a value"}}},
                      RuleCase{"\\n is a line break everywhere",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"one\\ntwo\"\n"),
                               {}},
                      RuleCase{"\\\" ends the value in GoldSrc",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"say \\\"hi\\\"\"\n"),
                               {{6, 16, S::Warning, "the value ends at this quote"},
                                {7, 1, S::Error, "closing brace without data"}}},
                      RuleCase{"\\\" is a quote in Xash",
                               P::Xash,
                               WithBlock("game_text", "\"message\" \"say \\\"hi\\\"\"\n"),
                               {{6, 16, S::Warning, "GoldSrc ends the value at it"}}},
                      RuleCase{"a byte that is no Windows-1252 character",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"a\x81\"\n"),
                               {{6, 13, S::Warning, "byte 0x81 is no character in Windows-1252"}}},
                      RuleCase{"Windows-1252 letters are fine",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"caf\xE9\"\n"),
                               {}},
                      RuleCase{"a byte that is no Windows-1251 character",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"\x98\"\n"),
                               {{6, 12, S::Warning, "byte 0x98 is no character in Windows-1251"}},
                               32,
                               0,
                               CodePage::Windows1251},
                      RuleCase{"bytes that are not UTF-8",
                               P::Xash,
                               WithBlock("game_text", "\"message\" \"caf\xE9\"\n"),
                               {{6, 15, S::Warning, "bytes that are not UTF-8"}},
                               32,
                               0,
                               CodePage::Utf8},
                      RuleCase{"UTF-8 letters are fine",
                               P::Xash,
                               WithBlock("game_text", "\"message\" \"caf\xC3\xA9\"\n"),
                               {},
                               32,
                               0,
                               CodePage::Utf8},
                      RuleCase{"no code page, no check",
                               P::GoldSrc,
                               WithBlock("game_text", "\"message\" \"a\x81\"\n"),
                               {},
                               32,
                               0,
                               CodePage::None}),
    CaseIndex);

// The limits of each profile.
INSTANTIATE_TEST_SUITE_P(
    Limits, EngineRule,
    ::testing::Values(
        RuleCase{"edicts enough", P::GoldSrc, Blocks(9), {}, 1, 10},
        RuleCase{"edicts run out",
                 P::GoldSrc,
                 Blocks(12),
                 {{28, 1, S::Error,
                   "no free edicts from this block on: 12 blocks and 1 player "
                   "slots need 13 edicts, goldsrc has 10"}},
                 1,
                 10},
        RuleCase{"player slots take edicts",
                 P::Xash,
                 Blocks(899),
                 {{2695, 1, S::Error,
                   "899 blocks and 2 player slots need 901 edicts, xash has "
                   "900"}},
                 2},
        RuleCase{"more players bring more edicts in GoldSrc", P::GoldSrc, Blocks(899), {}, 2},
        RuleCase{"multi_manager with 16 targets", P::GoldSrc, ManyTargets(16), {}},
        RuleCase{"multi_manager with 18 targets",
                 P::GoldSrc,
                 ManyTargets(18),
                 {{25, 1, S::Warning,
                   "multi_manager keeps 16 targets: the game drops \"t16\" "
                   "and the 1 after it"}}},
        RuleCase{"Sven Co-op keeps 64 targets", P::SvenCoop, ManyTargets(64), {}},
        RuleCase{"Xash reads 255 pairs", P::Xash, ManyPairs(254), {}},
        RuleCase{"Xash stops at the 256th pair",
                 P::Xash,
                 ManyPairs(255),
                 {{260, 1, S::Error, "a block holds at most 255 pairs"}}},
        RuleCase{"GoldSrc reads any number of pairs", P::GoldSrc, ManyPairs(1000), {}},
        RuleCase{"a text larger than the compile tools write",
                 P::GoldSrc,
                 WithBlock("game_text", "\"message\" \"" + Repeated('a', 1000) + "\"\n") +
                     std::string(132000, '\n'),
                 {{1, 1, S::Information,
                   "more than the 131072 that Valve's compile tools "
                   "write"}}}),
    CaseIndex);

struct LimitCase {
    P engine;
    int players;
    int edicts;
    int limit;
};

class EdictLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(EdictLimits, FollowTheProfileFormula) {
    const LimitCase& limit = GetParam();
    EXPECT_EQ(EdictLimit(LimitsOf(limit.engine), limit.players, limit.edicts), limit.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, EdictLimits,
    ::testing::Values(LimitCase{P::GoldSrc, 1, 0, 900}, LimitCase{P::GoldSrc, 32, 0, 1365},
                      LimitCase{P::GoldSrc, 1, 2048, 2048}, LimitCase{P::Hl25, 32, 0, 1665},
                      LimitCase{P::SvenCoop, 32, 0, 8192}, LimitCase{P::Xash, 32, 0, 900}));

TEST(EngineLint, NamesOfProfilesAndCodePages) {
    EXPECT_EQ(EngineProfileNamed("goldsrc"), P::GoldSrc);
    EXPECT_EQ(EngineProfileNamed("hl25"), P::Hl25);
    EXPECT_EQ(EngineProfileNamed("svencoop"), P::SvenCoop);
    EXPECT_EQ(EngineProfileNamed("xash"), P::Xash);
    EXPECT_EQ(EngineProfileNamed("quake"), std::nullopt);
    EXPECT_EQ(CodePageNamed("UTF-8"), CodePage::Utf8);
    EXPECT_EQ(CodePageNamed("windows-1251"), CodePage::Windows1251);
    EXPECT_EQ(CodePageNamed("cp1250"), CodePage::Windows1250);
    EXPECT_EQ(CodePageNamed("1252"), CodePage::Windows1252);
    EXPECT_EQ(CodePageNamed("none"), CodePage::None);
    EXPECT_EQ(CodePageNamed("koi8-r"), std::nullopt);
}

TEST(EngineLint, OffsetsLinesAndColumnsAgree) {
    const std::string text = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n\tlight\r\n";
    const std::vector<EngineFinding> findings = LintForEngine(text);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].offset, text.find("light"));
    EXPECT_EQ(findings[0].line, 4);
    EXPECT_EQ(findings[0].column, 2);
}

TEST(EngineLint, GeneratedTextsAreClean) {
    EngineLintOptions options;
    for (const P engine : {P::GoldSrc, P::Hl25, P::SvenCoop, P::Xash}) {
        options.engine = engine;
        for (const EngineFinding& finding : LintForEngine(fixtures::MakeEntityText(300), options)) {
            EXPECT_EQ(finding.severity, S::Information) << finding.message;
        }
    }
}

// The real maps run on their engines, so the lint finds no error in them; their warnings are
// printed for a reader to judge.
TEST(EngineLint, RealMapsHaveNoErrors) {
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
        const std::string_view text(file.GetEntityText(), file.EntityTextLength());
        for (const P engine : {P::GoldSrc, P::Hl25, P::SvenCoop, P::Xash}) {
            EngineLintOptions options;
            options.engine = engine;
            for (const EngineFinding& finding : LintForEngine(text, options)) {
                EXPECT_NE(finding.severity, S::Error)
                    << map.filename().string() << ":" << finding.line << ":" << finding.column
                    << " " << finding.message;
                if (finding.severity == S::Warning) {
                    std::cout << LimitsOf(engine).name << " " << map.filename().string() << ":"
                              << finding.line << ":" << finding.column << ": " << finding.message
                              << "\n";
                }
            }
        }
    }
}

}  // namespace
}  // namespace entorra
