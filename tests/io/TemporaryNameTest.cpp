#include "io/TemporaryName.h"

#include <gtest/gtest.h>

#include <string>

namespace entorra {
namespace {

TEST(TemporaryName, NewNamesHaveThePatternAndDiffer) {
    const std::string first = NewTemporaryName("de_dust.bsp");
    EXPECT_EQ(first.rfind(".de_dust.bsp.entorra-", 0), 0u) << first;
    EXPECT_TRUE(IsTemporaryNameOf(first, "de_dust.bsp"));
    EXPECT_NE(NewTemporaryName("de_dust.bsp"), first);
    EXPECT_EQ(TemporaryNamePrefix("a.ent"), ".a.ent.entorra-");
}

struct NameCase {
    const char* entry;
    bool temporary;  // of "m.bsp"
};

class TemporaryNameOf : public ::testing::TestWithParam<NameCase> {};

TEST_P(TemporaryNameOf, KnowsTheFilesOfOneTargetAndNoOthers) {
    EXPECT_EQ(IsTemporaryNameOf(GetParam().entry, "m.bsp"), GetParam().temporary)
        << GetParam().entry;
}

INSTANTIATE_TEST_SUITE_P(TemporaryName, TemporaryNameOf,
                         ::testing::Values(NameCase{".m.bsp.entorra-Ab12Cd", true},
                                           NameCase{".m.bsp.entorra-zzzzzz", true},
                                           NameCase{".m.bsp.entorra-Ab12C", false},
                                           NameCase{".m.bsp.entorra-Ab12Cde", false},
                                           NameCase{".m.bsp.entorra-Ab12C.", false},
                                           NameCase{".m.bsp.entorra-Ab-2Cd", false},
                                           NameCase{".m.bsp.bak.entorra-Ab12Cd", false},
                                           NameCase{".mm.bsp.entorra-Ab12Cd", false},
                                           NameCase{"m.bsp.entorra-Ab12Cd", false},
                                           NameCase{".m.bsp.Ab12Cd", false},
                                           NameCase{"m.bsp", false}));

}  // namespace
}  // namespace entorra
