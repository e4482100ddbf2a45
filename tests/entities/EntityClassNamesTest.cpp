#include "entities/EntityClassNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace entorra {
namespace {

TEST(EntityClassNames, SpawnClassesFirstThenTheRestOnceEachInByteOrder) {
    EXPECT_EQ(kEntityClassNames.size(), 68u);
    EXPECT_EQ(kEntityClassNames[0], "info_player_deathmatch");
    EXPECT_EQ(kEntityClassNames[1], "info_player_start");
    EXPECT_EQ(kEntityClassNames[2], "info_vip_start");
    EXPECT_EQ(kEntityClassNames.back(), "worldspawn");
    std::vector<std::string_view> rest(kEntityClassNames.begin() + 3, kEntityClassNames.end());
    EXPECT_EQ(std::adjacent_find(rest.begin(), rest.end(), std::greater_equal<>()), rest.end());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::count(rest.begin(), rest.end(), kEntityClassNames[i]), 0);
    }
}

}  // namespace
}  // namespace entorra
