#pragma once

// The entity blocks that differ between two entity texts, as diff and check see them: blocks
// are matched by classname, targetname and origin, the n-th of an identity on one side with the
// n-th on the other. Expected time linear in the texts; memory a few words per block.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entities/EntityLint.h"

namespace entorra::cli {

// What pairs a block with a block on the other side: the values its class, name and place end
// up with in the engine (a key given twice keeps its last value). Absent and empty differ.
struct BlockIdentity {
    std::optional<std::string_view> classname, targetname, origin;
    friend bool operator==(const BlockIdentity&, const BlockIdentity&) = default;
};

BlockIdentity IdentityOf(const ParsedEntity& entity);

// Indexes into the entities of the two parsed texts.
struct BlockDiff {
    std::vector<std::uint32_t> removed;  // blocks of before, in order
    std::vector<std::uint32_t> added;    // blocks of after, in order
    // Matched blocks whose keys differ, in the order of before.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> changed;

    bool Same() const { return removed.empty() && added.empty() && changed.empty(); }
};

BlockDiff DiffBlocks(const ParsedEntityText& before, const ParsedEntityText& after);

// The keys of a block as the engine ends up with them, sorted by key: for each key its last
// pair. Filled into a buffer the caller reuses.
void ResolveKeys(const ParsedEntity& entity, std::vector<const EntityKeyValue*>& keys);

// "light targetname "t" origin "0 0 0"", "(no classname)" when it has none.
std::string Describe(const ParsedEntity& entity);

}  // namespace entorra::cli
