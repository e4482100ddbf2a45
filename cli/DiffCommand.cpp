// diff: the entity blocks that differ between two maps or entity files.

#include <filesystem>
#include <map>
#include <optional>

#include "base/Format.h"
#include "cli/BlockDiff.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Operands.h"
#include "cli/Sources.h"
#include "entities/EntityLint.h"
#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

Json OptionalJson(const std::optional<std::string>& value) {
    return value ? Json(JsonText(*value)) : Json(nullptr);
}

Json BlockJson(const DiffBlock& block) {
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
    const BlockDiff diff = DiffBlocks(leftParsed, rightParsed);
    const std::vector<DiffBlock>& before = diff.before;
    const std::vector<DiffBlock>& after = diff.after;

    std::string text = "--- " + left + "\n+++ " + right + "\n";
    Json removedJson = Json::array();
    for (const std::size_t i : diff.removed) {
        text += Format("- %s (line %d)\n", Describe(before[i]).c_str(), before[i].entity->line);
        removedJson.push_back(BlockJson(before[i]));
    }
    Json addedJson = Json::array();
    for (const std::size_t j : diff.added) {
        text += Format("+ %s (line %d)\n", Describe(after[j]).c_str(), after[j].entity->line);
        addedJson.push_back(BlockJson(after[j]));
    }
    Json changedJson = Json::array();
    for (const auto& [i, j] : diff.changed) {
        const DiffBlock& was = before[i];
        const DiffBlock& now = after[j];
        text += Format("~ %s (line %d -> %d)\n", Describe(was).c_str(), was.entity->line,
                       now.entity->line);
        Json keys = Json::array();
        for (const auto& [key, value] : was.keys) {
            const std::optional<std::string> newValue = ValueOf(now.keys, key);
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
