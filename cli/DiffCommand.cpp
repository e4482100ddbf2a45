// diff: the entity blocks that differ between two maps or entity files.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "base/Format.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Operands.h"
#include "cli/Sources.h"
#include "entities/EntityLint.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kNone = ~std::uint32_t{0};

// The value a key ends up with in the engine: a key given twice keeps its last value.
std::optional<std::string_view> LastValue(const ParsedEntity& entity, std::string_view key) {
    for (auto pair = entity.keys.rbegin(); pair != entity.keys.rend(); ++pair) {
        if (pair->key == key) {
            return pair->value;
        }
    }
    return std::nullopt;
}

// What pairs a block on one side with a block on the other: class, name and place. Absent and
// empty differ.
struct Identity {
    std::optional<std::string_view> classname, targetname, origin;
    friend bool operator==(const Identity&, const Identity&) = default;
};

Identity IdentityOf(const ParsedEntity& entity) {
    return {LastValue(entity, "classname"), LastValue(entity, "targetname"),
            LastValue(entity, "origin")};
}

// Not noexcept on purpose: the standard library's table then keeps each hash with its entry
// instead of hashing the strings again on every probe and every rehash.
struct IdentityHash {
    std::size_t operator()(const Identity& identity) const {
        std::size_t hash = 0;
        for (const auto& part : {identity.classname, identity.targetname, identity.origin}) {
            const std::size_t one = part ? std::hash<std::string_view>{}(*part) : 0x9e3779b9u;
            hash = (hash ^ one) * 0x100000001b3u + (part ? 1 : 2);
        }
        return hash;
    }
};

// The keys of a block as the engine ends up with them, sorted by key: for each key its last
// pair. Filled into a buffer the caller reuses.
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

Json OptionalJson(const std::optional<std::string_view>& value) {
    return value ? Json(JsonText(*value)) : Json(nullptr);
}

void Append(std::string& text, std::string_view part) {
    text.append(part.data(), part.size());
}

void AppendDescription(std::string& text, const Identity& identity) {
    Append(text, identity.classname ? *identity.classname : "(no classname)");
    if (identity.targetname) {
        text += " targetname \"";
        Append(text, *identity.targetname);
        text += '"';
    }
    if (identity.origin) {
        text += " origin \"";
        Append(text, *identity.origin);
        text += '"';
    }
}

void AppendPair(std::string& text, std::string_view key, std::string_view value) {
    text += '"';
    Append(text, key);
    text += "\" \"";
    Append(text, value);
    text += '"';
}

Json BlockJson(const ParsedEntity& entity) {
    const Identity identity = IdentityOf(entity);
    Json keys = Json::array();
    for (const EntityKeyValue& pair : entity.keys) {
        keys.push_back(Json::array({JsonText(pair.key), JsonText(pair.value)}));
    }
    return {{"classname", OptionalJson(identity.classname)},
            {"targetname", OptionalJson(identity.targetname)},
            {"origin", OptionalJson(identity.origin)},
            {"line", entity.line},
            {"keys", std::move(keys)}};
}

// For each block on the left, the block it pairs with on the right, or kNone: the n-th block
// of an identity on the left pairs with the n-th of that identity on the right. Expected time
// linear in the number of blocks; memory a few words per block and one entry per identity.
std::vector<std::uint32_t> MatchBlocks(const std::vector<ParsedEntity>& before,
                                       const std::vector<ParsedEntity>& after) {
    std::unordered_map<Identity, std::uint32_t, IdentityHash> groupOf;
    groupOf.reserve(after.size());
    std::vector<std::uint32_t> groupOfRight(after.size());
    for (std::size_t j = 0; j < after.size(); ++j) {
        const auto groups = static_cast<std::uint32_t>(groupOf.size());
        groupOfRight[j] = groupOf.try_emplace(IdentityOf(after[j]), groups).first->second;
    }
    // The right blocks of each group in text order, one after the other.
    std::vector<std::uint32_t> next(groupOf.size() + 1, 0);
    for (const std::uint32_t group : groupOfRight) {
        ++next[group + 1];
    }
    for (std::size_t g = 1; g < next.size(); ++g) {
        next[g] += next[g - 1];
    }
    std::vector<std::uint32_t> end(next.begin() + 1, next.end());
    std::vector<std::uint32_t> ordered(after.size());
    {
        std::vector<std::uint32_t> fill(next.begin(), next.end() - 1);
        for (std::size_t j = 0; j < after.size(); ++j) {
            ordered[fill[groupOfRight[j]]++] = static_cast<std::uint32_t>(j);
        }
    }
    groupOfRight = {};

    std::vector<std::uint32_t> matchOf(before.size(), kNone);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto found = groupOf.find(IdentityOf(before[i]));
        if (found != groupOf.end() && next[found->second] < end[found->second]) {
            matchOf[i] = ordered[next[found->second]++];
        }
    }
    return matchOf;
}

void Compare(const std::string& leftText, const std::string& rightText, bool json,
             CMapReport& report, const std::string& left, const std::string& right) {
    const ParsedEntityText leftParsed = ParseEntityBlocks(leftText);
    const ParsedEntityText rightParsed = ParseEntityBlocks(rightText);
    const std::vector<ParsedEntity>& before = leftParsed.entities;
    const std::vector<ParsedEntity>& after = rightParsed.entities;
    const std::vector<std::uint32_t> matchOf = MatchBlocks(before, after);
    std::vector<bool> matched(after.size(), false);
    for (const std::uint32_t j : matchOf) {
        if (j != kNone) {
            matched[j] = true;
        }
    }

    // Only the form asked for is made: either may be many times the size of the texts.
    std::string text;
    if (!json) {
        text = "--- " + left + "\n+++ " + right + "\n";
    }
    std::size_t removed = 0;
    Json removedJson = Json::array();
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (matchOf[i] != kNone) {
            continue;
        }
        ++removed;
        if (json) {
            removedJson.push_back(BlockJson(before[i]));
        } else {
            text += "- ";
            AppendDescription(text, IdentityOf(before[i]));
            text += Format(" (line %d)\n", before[i].line);
        }
    }
    std::size_t added = 0;
    Json addedJson = Json::array();
    for (std::size_t j = 0; j < after.size(); ++j) {
        if (matched[j]) {
            continue;
        }
        ++added;
        if (json) {
            addedJson.push_back(BlockJson(after[j]));
        } else {
            text += "+ ";
            AppendDescription(text, IdentityOf(after[j]));
            text += Format(" (line %d)\n", after[j].line);
        }
    }

    std::size_t changed = 0;
    Json changedJson = Json::array();
    std::vector<const EntityKeyValue*> wasKeys;
    std::vector<const EntityKeyValue*> nowKeys;
    const auto sameKeys = [](const std::vector<const EntityKeyValue*>& a,
                             const std::vector<const EntityKeyValue*>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const EntityKeyValue* x, const EntityKeyValue* y) {
                              return x->key == y->key && x->value == y->value;
                          });
    };
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (matchOf[i] == kNone) {
            continue;
        }
        const ParsedEntity& was = before[i];
        const ParsedEntity& now = after[matchOf[i]];
        ResolveKeys(was, wasKeys);
        ResolveKeys(now, nowKeys);
        if (sameKeys(wasKeys, nowKeys)) {
            continue;
        }
        ++changed;
        const Identity identity = IdentityOf(was);
        if (!json) {
            text += "~ ";
            AppendDescription(text, identity);
            text += Format(" (line %d -> %d)\n", was.line, now.line);
        }
        Json keys = Json::array();
        // Both lists are sorted by key: first the keys of the left with what became of them,
        // then the keys only the right has.
        std::size_t k = 0;
        for (const EntityKeyValue* pair : wasKeys) {
            while (k < nowKeys.size() && nowKeys[k]->key < pair->key) {
                ++k;
            }
            const EntityKeyValue* newPair =
                k < nowKeys.size() && nowKeys[k]->key == pair->key ? nowKeys[k] : nullptr;
            if (newPair != nullptr && newPair->value == pair->value) {
                continue;
            }
            if (json) {
                keys.push_back({{"key", JsonText(pair->key)},
                                {"before", JsonText(pair->value)},
                                {"after", newPair != nullptr ? Json(JsonText(newPair->value))
                                                             : Json(nullptr)}});
            } else if (newPair == nullptr) {
                text += "    - ";
                AppendPair(text, pair->key, pair->value);
                text += '\n';
            } else {
                text += "    \"";
                Append(text, pair->key);
                text += "\" \"";
                Append(text, pair->value);
                text += "\" -> \"";
                Append(text, newPair->value);
                text += "\"\n";
            }
        }
        k = 0;
        for (const EntityKeyValue* pair : nowKeys) {
            while (k < wasKeys.size() && wasKeys[k]->key < pair->key) {
                ++k;
            }
            if (k < wasKeys.size() && wasKeys[k]->key == pair->key) {
                continue;
            }
            if (json) {
                keys.push_back({{"key", JsonText(pair->key)},
                                {"before", nullptr},
                                {"after", JsonText(pair->value)}});
            } else {
                text += "    + ";
                AppendPair(text, pair->key, pair->value);
                text += '\n';
            }
        }
        if (json) {
            changedJson.push_back({{"classname", OptionalJson(identity.classname)},
                                   {"targetname", OptionalJson(identity.targetname)},
                                   {"origin", OptionalJson(identity.origin)},
                                   {"lineBefore", was.line},
                                   {"lineAfter", now.line},
                                   {"keys", std::move(keys)}});
        }
    }
    if (json) {
        report.figures["added"] = std::move(addedJson);
        report.figures["removed"] = std::move(removedJson);
        report.figures["changed"] = std::move(changedJson);
    } else {
        text += Format("%s -> %s: %zu added, %zu removed, %zu changed\n", left.c_str(),
                       right.c_str(), added, removed, changed);
        report.text = std::move(text);
    }
}

}  // namespace

int RunDiff(const CommandContext& context, const std::string& left, const std::string& right) {
    std::error_code error;
    const bool leftFolder = fs::is_directory(left, error);
    const bool rightFolder = fs::is_directory(right, error);
    std::vector<std::string> lefts;
    std::vector<std::string> rights;
    if (leftFolder) {
        if (!rightFolder) {
            context.sink.ShowMessage(
                Format("A folder is compared with a folder: %s is none.", right.c_str()));
            return 2;
        }
        // Maps paired by their path inside each folder.
        for (const std::string& map : ExpandOperands({left}, context.recursive, context.sink)) {
            lefts.push_back(map);
            rights.push_back((fs::path(right) / fs::path(map).lexically_relative(left)).string());
        }
        if (lefts.empty()) {
            return NoMaps(context);
        }
    } else {
        lefts.push_back(left);
        rights.push_back(rightFolder ? (fs::path(right) / fs::path(left).filename()).string()
                                     : right);
    }
    return RunBatch(context, lefts, [&](std::size_t index, CMapReport& report) {
        report.figures["other"] = JsonText(rights[index]);
        std::string leftText;
        std::string rightText;
        if (!ReadEntityTextOf(context, lefts[index], report, leftText) ||
            !ReadEntityTextOf(context, rights[index], report, rightText)) {
            return;
        }
        Compare(leftText, rightText, context.json, report, lefts[index], rights[index]);
    });
}

}  // namespace entorra::cli
