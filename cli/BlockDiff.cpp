#include "cli/BlockDiff.h"

namespace entorra::cli {
namespace {

std::vector<DiffBlock> Blocks(const ParsedEntityText& parsed) {
    std::vector<DiffBlock> blocks;
    for (const ParsedEntity& entity : parsed.entities) {
        DiffBlock block;
        block.entity = &entity;
        for (const EntityKeyValue& pair : entity.keys) {
            block.keys[pair.key] = pair.value;
        }
        block.classname = ValueOf(block.keys, "classname");
        block.targetname = ValueOf(block.keys, "targetname");
        block.origin = ValueOf(block.keys, "origin");
        // Absent and empty differ; the NUL never occurs in a value.
        for (const auto& part : {block.classname, block.targetname, block.origin}) {
            block.identity += part ? "=" + *part : std::string("-");
            block.identity += '\0';
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

}  // namespace

std::optional<std::string> ValueOf(const KeyValues& keys, std::string_view key) {
    const auto found = keys.find(key);
    return found == keys.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::string Describe(const DiffBlock& block) {
    std::string text = block.classname ? *block.classname : std::string("(no classname)");
    if (block.targetname) {
        text += " targetname \"" + *block.targetname + "\"";
    }
    if (block.origin) {
        text += " origin \"" + *block.origin + "\"";
    }
    return text;
}

BlockDiff DiffBlocks(const ParsedEntityText& before, const ParsedEntityText& after) {
    BlockDiff diff;
    diff.before = Blocks(before);
    diff.after = Blocks(after);

    // The n-th block of an identity on the left matches the n-th of that identity on the right.
    std::map<std::string, std::vector<std::size_t>> rightByIdentity;
    for (std::size_t i = 0; i < diff.after.size(); ++i) {
        rightByIdentity[diff.after[i].identity].push_back(i);
    }
    std::map<std::string, std::size_t> used;
    std::vector<bool> matched(diff.after.size(), false);
    for (std::size_t i = 0; i < diff.before.size(); ++i) {
        const auto candidates = rightByIdentity.find(diff.before[i].identity);
        std::size_t& next = used[diff.before[i].identity];
        if (candidates != rightByIdentity.end() && next < candidates->second.size()) {
            const std::size_t j = candidates->second[next++];
            matched[j] = true;
            if (diff.before[i].keys != diff.after[j].keys) {
                diff.changed.emplace_back(i, j);
            }
        } else {
            diff.removed.push_back(i);
        }
    }
    for (std::size_t j = 0; j < diff.after.size(); ++j) {
        if (!matched[j]) {
            diff.added.push_back(j);
        }
    }
    return diff;
}

}  // namespace entorra::cli
