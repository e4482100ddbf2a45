#include "cli/BlockDiff.h"

#include <algorithm>
#include <unordered_map>

namespace entorra::cli {
namespace {

constexpr std::uint32_t kNone = ~std::uint32_t{0};

std::optional<std::string_view> LastValue(const ParsedEntity& entity, std::string_view key) {
    for (auto pair = entity.keys.rbegin(); pair != entity.keys.rend(); ++pair) {
        if (pair->key == key) {
            return pair->value;
        }
    }
    return std::nullopt;
}

// Not noexcept on purpose: the standard library's table then keeps each hash with its entry
// instead of hashing the strings again on every probe and every rehash.
struct IdentityHash {
    std::size_t operator()(const BlockIdentity& identity) const {
        std::size_t hash = 0;
        for (const auto& part : {identity.classname, identity.targetname, identity.origin}) {
            const std::size_t one = part ? std::hash<std::string_view>{}(*part) : 0x9e3779b9u;
            hash = (hash ^ one) * 0x100000001b3u + (part ? 1 : 2);
        }
        return hash;
    }
};

// For each block before, the block after it pairs with, or kNone. The blocks after are grouped
// by identity (one table entry per identity) and listed group by group in text order, so that
// each block before takes the next unpaired block of its group.
std::vector<std::uint32_t> MatchBlocks(const std::vector<ParsedEntity>& before,
                                       const std::vector<ParsedEntity>& after) {
    std::unordered_map<BlockIdentity, std::uint32_t, IdentityHash> groupOf;
    groupOf.reserve(after.size());
    std::vector<std::uint32_t> groupOfAfter(after.size());
    for (std::size_t j = 0; j < after.size(); ++j) {
        const auto groups = static_cast<std::uint32_t>(groupOf.size());
        groupOfAfter[j] = groupOf.try_emplace(IdentityOf(after[j]), groups).first->second;
    }
    // next[g] .. end[g]: the unpaired blocks of group g in ordered.
    std::vector<std::uint32_t> next(groupOf.size() + 1, 0);
    for (const std::uint32_t group : groupOfAfter) {
        ++next[group + 1];
    }
    for (std::size_t g = 1; g < next.size(); ++g) {
        next[g] += next[g - 1];
    }
    std::vector<std::uint32_t> end(next.begin() + 1, next.end());
    std::vector<std::uint32_t> ordered(after.size());
    for (std::size_t j = 0; j < after.size(); ++j) {
        ordered[next[groupOfAfter[j]]++] = static_cast<std::uint32_t>(j);
    }
    groupOfAfter = {};
    for (std::size_t g = end.size(); g-- > 0;) {
        next[g] = g == 0 ? 0 : end[g - 1];
    }

    std::vector<std::uint32_t> matchOf(before.size(), kNone);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto found = groupOf.find(IdentityOf(before[i]));
        if (found != groupOf.end() && next[found->second] < end[found->second]) {
            matchOf[i] = ordered[next[found->second]++];
        }
    }
    return matchOf;
}

}  // namespace

BlockIdentity IdentityOf(const ParsedEntity& entity) {
    return {LastValue(entity, "classname"), LastValue(entity, "targetname"),
            LastValue(entity, "origin")};
}

void ResolveKeys(const ParsedEntity& entity, std::vector<const EntityKeyValue*>& keys) {
    keys.clear();
    for (const EntityKeyValue& pair : entity.keys) {
        keys.push_back(&pair);
    }
    std::stable_sort(
        keys.begin(), keys.end(),
        [](const EntityKeyValue* a, const EntityKeyValue* b) { return a->key < b->key; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 < keys.size() && keys[i + 1]->key == keys[i]->key) {
            continue;
        }
        keys[kept++] = keys[i];
    }
    keys.resize(kept);
}

std::string Describe(const ParsedEntity& entity) {
    const BlockIdentity identity = IdentityOf(entity);
    std::string text(identity.classname ? *identity.classname : "(no classname)");
    if (identity.targetname) {
        text += " targetname \"";
        text += *identity.targetname;
        text += '"';
    }
    if (identity.origin) {
        text += " origin \"";
        text += *identity.origin;
        text += '"';
    }
    return text;
}

BlockDiff DiffBlocks(const ParsedEntityText& before, const ParsedEntityText& after) {
    const std::vector<std::uint32_t> matchOf = MatchBlocks(before.entities, after.entities);
    BlockDiff diff;
    std::vector<bool> matched(after.entities.size(), false);
    std::vector<const EntityKeyValue*> wasKeys;
    std::vector<const EntityKeyValue*> nowKeys;
    for (std::size_t i = 0; i < matchOf.size(); ++i) {
        const std::uint32_t j = matchOf[i];
        if (j == kNone) {
            diff.removed.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        matched[j] = true;
        ResolveKeys(before.entities[i], wasKeys);
        ResolveKeys(after.entities[j], nowKeys);
        const bool same = std::equal(wasKeys.begin(), wasKeys.end(), nowKeys.begin(), nowKeys.end(),
                                     [](const EntityKeyValue* x, const EntityKeyValue* y) {
                                         return x->key == y->key && x->value == y->value;
                                     });
        if (!same) {
            diff.changed.emplace_back(static_cast<std::uint32_t>(i), j);
        }
    }
    for (std::size_t j = 0; j < matched.size(); ++j) {
        if (!matched[j]) {
            diff.added.push_back(static_cast<std::uint32_t>(j));
        }
    }
    return diff;
}

}  // namespace entorra::cli
