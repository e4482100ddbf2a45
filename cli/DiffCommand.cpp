// diff: the entity blocks that differ between two maps or entity files.

#include <filesystem>
#include <map>
#include <optional>

#include "base/Format.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Operands.h"
#include "cli/Sources.h"
#include "entities/EntityLint.h"
#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

// The keys of a block as the engine ends up with them: a key given twice keeps its last value.
using KeyValues = std::map<std::string, std::string, std::less<>>;

struct Block {
    const ParsedEntity* entity = nullptr;
    KeyValues keys;
    std::optional<std::string> classname, targetname, origin;
    std::string identity;
};

std::optional<std::string> Value(const KeyValues& keys, std::string_view key) {
    const auto found = keys.find(key);
    return found == keys.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::vector<Block> Blocks(const ParsedEntityText& parsed) {
    std::vector<Block> blocks;
    for (const ParsedEntity& entity : parsed.entities) {
        Block block;
        block.entity = &entity;
        for (const EntityKeyValue& pair : entity.keys) {
            block.keys[pair.key] = pair.value;
        }
        block.classname = Value(block.keys, "classname");
        block.targetname = Value(block.keys, "targetname");
        block.origin = Value(block.keys, "origin");
        // Absent and empty differ; the NUL never occurs in a value.
        for (const auto& part : {block.classname, block.targetname, block.origin}) {
            block.identity += part ? "=" + *part : std::string("-");
            block.identity += '\0';
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

Json OptionalJson(const std::optional<std::string>& value) {
    return value ? Json(JsonText(*value)) : Json(nullptr);
}

std::string Describe(const Block& block) {
    std::string text = block.classname ? *block.classname : std::string("(no classname)");
    if (block.targetname) {
        text += " targetname \"" + *block.targetname + "\"";
    }
    if (block.origin) {
        text += " origin \"" + *block.origin + "\"";
    }
    return text;
}

Json BlockJson(const Block& block) {
    Json keys = Json::array();
    for (const EntityKeyValue& pair : block.entity->keys) {
        keys.push_back(Json::array({JsonText(pair.key), JsonText(pair.value)}));
    }
    return {{"classname", OptionalJson(block.classname)},
            {"targetname", OptionalJson(block.targetname)},
            {"origin", OptionalJson(block.origin)},
            {"line", block.entity->line},
            {"keys", std::move(keys)}};
}

void Compare(const std::string& leftText, const std::string& rightText, CMapReport& report,
             const std::string& left, const std::string& right) {
    const ParsedEntityText leftParsed = ParseEntityText(leftText);
    const ParsedEntityText rightParsed = ParseEntityText(rightText);
    const std::vector<Block> before = Blocks(leftParsed);
    const std::vector<Block> after = Blocks(rightParsed);

    // The n-th block of an identity on the left matches the n-th of that identity on the right.
    std::map<std::string, std::vector<std::size_t>> rightByIdentity;
    for (std::size_t i = 0; i < after.size(); ++i) {
        rightByIdentity[after[i].identity].push_back(i);
    }
    std::map<std::string, std::size_t> used;
    std::vector<bool> matched(after.size(), false);
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::vector<std::size_t> removed;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto candidates = rightByIdentity.find(before[i].identity);
        std::size_t& next = used[before[i].identity];
        if (candidates != rightByIdentity.end() && next < candidates->second.size()) {
            const std::size_t j = candidates->second[next++];
            matched[j] = true;
            pairs.emplace_back(i, j);
        } else {
            removed.push_back(i);
        }
    }

    std::string text = "--- " + left + "\n+++ " + right + "\n";
    Json removedJson = Json::array();
    for (const std::size_t i : removed) {
        text += Format("- %s (line %d)\n", Describe(before[i]).c_str(), before[i].entity->line);
        removedJson.push_back(BlockJson(before[i]));
    }
    Json addedJson = Json::array();
    for (std::size_t j = 0; j < after.size(); ++j) {
        if (!matched[j]) {
            text += Format("+ %s (line %d)\n", Describe(after[j]).c_str(), after[j].entity->line);
            addedJson.push_back(BlockJson(after[j]));
        }
    }
    Json changedJson = Json::array();
    for (const auto& [i, j] : pairs) {
        const Block& was = before[i];
        const Block& now = after[j];
        if (was.keys == now.keys) {
            continue;
        }
        text += Format("~ %s (line %d -> %d)\n", Describe(was).c_str(), was.entity->line,
                       now.entity->line);
        Json keys = Json::array();
        for (const auto& [key, value] : was.keys) {
            const std::optional<std::string> newValue = Value(now.keys, key);
            if (!newValue) {
                text += Format("    - \"%s\" \"%s\"\n", key.c_str(), value.c_str());
            } else if (*newValue != value) {
                text += Format("    \"%s\" \"%s\" -> \"%s\"\n", key.c_str(), value.c_str(),
                               newValue->c_str());
            } else {
                continue;
            }
            keys.push_back({{"key", JsonText(key)},
                            {"before", JsonText(value)},
                            {"after", OptionalJson(newValue)}});
        }
        for (const auto& [key, value] : now.keys) {
            if (!was.keys.contains(key)) {
                text += Format("    + \"%s\" \"%s\"\n", key.c_str(), value.c_str());
                keys.push_back(
                    {{"key", JsonText(key)}, {"before", nullptr}, {"after", JsonText(value)}});
            }
        }
        Json change = {{"classname", OptionalJson(was.classname)},
                       {"targetname", OptionalJson(was.targetname)},
                       {"origin", OptionalJson(was.origin)},
                       {"lineBefore", was.entity->line},
                       {"lineAfter", now.entity->line},
                       {"keys", std::move(keys)}};
        changedJson.push_back(std::move(change));
    }
    text += Format("%s -> %s: %zu added, %zu removed, %zu changed\n", left.c_str(), right.c_str(),
                   addedJson.size(), removedJson.size(), changedJson.size());

    report.text = std::move(text);
    report.figures["other"] = JsonText(right);
    report.figures["added"] = std::move(addedJson);
    report.figures["removed"] = std::move(removedJson);
    report.figures["changed"] = std::move(changedJson);
}

}  // namespace

int RunDiff(const CommandContext& context, const std::string& left, const std::string& right) {
    std::error_code error;
    const bool leftFolder = fs::is_directory(PathFromUtf8(left), error);
    const bool rightFolder = fs::is_directory(PathFromUtf8(right), error);
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
            rights.push_back(Utf8FromPath(
                PathFromUtf8(right) / PathFromUtf8(map).lexically_relative(PathFromUtf8(left))));
        }
        if (lefts.empty()) {
            return NoMaps(context);
        }
    } else {
        lefts.push_back(left);
        rights.push_back(rightFolder
                             ? Utf8FromPath(PathFromUtf8(right) / PathFromUtf8(left).filename())
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
        Compare(leftText, rightText, report, lefts[index], rights[index]);
    });
}

}  // namespace entorra::cli
