// diff: the entity blocks that differ between two maps or entity files.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

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

Json OptionalJson(const std::optional<std::string_view>& value) {
    return value ? Json(JsonText(*value)) : Json(nullptr);
}

void Append(std::string& text, std::string_view part) {
    text.append(part.data(), part.size());
}

void AppendPair(std::string& text, std::string_view key, std::string_view value) {
    text += '"';
    Append(text, key);
    text += "\" \"";
    Append(text, value);
    text += '"';
}

Json BlockJson(const ParsedEntity& entity) {
    const BlockIdentity identity = IdentityOf(entity);
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

void Compare(const std::string& leftText, const std::string& rightText, bool json,
             CMapReport& report, const std::string& left, const std::string& right) {
    const ParsedEntityText leftParsed = ParseEntityBlocks(leftText);
    const ParsedEntityText rightParsed = ParseEntityBlocks(rightText);
    const std::vector<ParsedEntity>& before = leftParsed.entities;
    const std::vector<ParsedEntity>& after = rightParsed.entities;
    const BlockDiff diff = DiffBlocks(leftParsed, rightParsed);

    // Only the form asked for is made: either may be many times the size of the texts.
    if (json) {
        Json removed = Json::array();
        for (const std::uint32_t i : diff.removed) {
            removed.push_back(BlockJson(before[i]));
        }
        Json added = Json::array();
        for (const std::uint32_t j : diff.added) {
            added.push_back(BlockJson(after[j]));
        }
        report.figures["added"] = std::move(added);
        report.figures["removed"] = std::move(removed);
    }
    std::string text;
    if (!json) {
        text = "--- " + left + "\n+++ " + right + "\n";
        for (const std::uint32_t i : diff.removed) {
            text += "- " + Describe(before[i]) + Format(" (line %d)\n", before[i].line);
        }
        for (const std::uint32_t j : diff.added) {
            text += "+ " + Describe(after[j]) + Format(" (line %d)\n", after[j].line);
        }
    }

    Json changedJson = Json::array();
    std::vector<const EntityKeyValue*> wasKeys;
    std::vector<const EntityKeyValue*> nowKeys;
    for (const auto& [i, j] : diff.changed) {
        const ParsedEntity& was = before[i];
        const ParsedEntity& now = after[j];
        ResolveKeys(was, wasKeys);
        ResolveKeys(now, nowKeys);
        if (!json) {
            text += "~ " + Describe(was) + Format(" (line %d -> %d)\n", was.line, now.line);
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
            const BlockIdentity identity = IdentityOf(was);
            changedJson.push_back({{"classname", OptionalJson(identity.classname)},
                                   {"targetname", OptionalJson(identity.targetname)},
                                   {"origin", OptionalJson(identity.origin)},
                                   {"lineBefore", was.line},
                                   {"lineAfter", now.line},
                                   {"keys", std::move(keys)}});
        }
    }
    if (json) {
        report.figures["changed"] = std::move(changedJson);
    } else {
        text += Format("%s -> %s: %zu added, %zu removed, %zu changed\n", left.c_str(),
                       right.c_str(), diff.added.size(), diff.removed.size(), diff.changed.size());
        report.text = std::move(text);
    }
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
        Compare(leftText, rightText, context.json, report, lefts[index], rights[index]);
    });
}

}  // namespace entorra::cli
