#pragma once

// The entity blocks that differ between two entity texts, as diff and check see them: blocks
// are matched by classname, targetname and origin, the n-th of an identity on one side with the
// n-th on the other.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entities/EntityLint.h"

namespace entorra::cli {

// The keys of a block as the engine ends up with them: a key given twice keeps its last value.
using KeyValues = std::map<std::string, std::string, std::less<>>;

struct DiffBlock {
    const ParsedEntity* entity = nullptr;
    KeyValues keys;
    std::optional<std::string> classname, targetname, origin;
    std::string identity;
};

struct BlockDiff {
    std::vector<DiffBlock> before;
    std::vector<DiffBlock> after;
    std::vector<std::size_t> removed;  // indexes into before, in order
    std::vector<std::size_t> added;    // indexes into after, in order
    // Matched blocks whose keys differ, in the order of before.
    std::vector<std::pair<std::size_t, std::size_t>> changed;

    bool Same() const { return removed.empty() && added.empty() && changed.empty(); }
};

// The parsed texts must outlive the result.
BlockDiff DiffBlocks(const ParsedEntityText& before, const ParsedEntityText& after);

std::optional<std::string> ValueOf(const KeyValues& keys, std::string_view key);

// "light targetname "t" origin "0 0 0"", "(no classname)" when it has none.
std::string Describe(const DiffBlock& block);

}  // namespace entorra::cli
