#include "cli/EntityFileBeside.h"

#include <chrono>
#include <filesystem>

#include "base/Format.h"
#include "cli/BlockDiff.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Sources.h"
#include "io/FileRead.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

// Xash compares the two file times in whole seconds ("Entity patch is older than bsp").
bool OlderThan(const fs::path& file, const fs::path& map) {
    std::error_code error;
    const auto fileTime = fs::last_write_time(file, error);
    if (error) {
        return false;
    }
    const auto mapTime = fs::last_write_time(map, error);
    if (error) {
        return false;
    }
    return std::chrono::floor<std::chrono::seconds>(fileTime) <
           std::chrono::floor<std::chrono::seconds>(mapTime);
}

// The first difference, as diff prints it.
std::string FirstDifference(const BlockDiff& diff, const ParsedEntityText& lump,
                            const ParsedEntityText& file) {
    if (!diff.removed.empty()) {
        const ParsedEntity& block = lump.entities[diff.removed.front()];
        return Format("- %s, line %d of the lump", Describe(block).c_str(), block.line);
    }
    if (!diff.added.empty()) {
        const ParsedEntity& block = file.entities[diff.added.front()];
        return Format("+ %s, line %d", Describe(block).c_str(), block.line);
    }
    const ParsedEntity& block = file.entities[diff.changed.front().second];
    return Format("~ %s, line %d", Describe(block).c_str(), block.line);
}

}  // namespace

std::vector<LintFinding> CheckEntityFileBeside(const CommandContext& context,
                                               const std::string& mapPath,
                                               std::string_view lumpText, CMapReport& report) {
    std::vector<LintFinding> findings;
    const std::string path = EntityFilePathFor(mapPath);
    if (context.fileSystem.KindOf(path) != EntryKind::File) {
        report.figures["entityFile"] = nullptr;
        return findings;
    }
    const auto warn = [&findings](std::string message) {
        findings.push_back({0, LintSeverity::Warning, std::move(message)});
    };
    Json figures = {{"path", JsonText(path)}};

    const bool older = OlderThan(path, mapPath);
    figures["olderThanMap"] = older;
    if (older) {
        warn(
            Format("%s is older than the map: Xash ignores it (\"Entity patch is older than "
                   "bsp\"), ReHLDS reads it",
                   path.c_str()));
    }

    Result<std::string> read = ReadTextFile(context.fileSystem, path, kMaxEntityFileBytes);
    if (!read) {
        warn(Format("%s cannot be read (%s): a server that reads it may refuse the map",
                    path.c_str(), read.Error().message.c_str()));
        report.figures["entityFile"] = std::move(figures);
        return findings;
    }
    std::string text = std::move(read).Value();
    // The engines read the file up to its first NUL.
    text.resize(std::string_view(text).find('\0') == std::string_view::npos
                    ? text.size()
                    : std::string_view(text).find('\0'));
    const ParsedEntityText lump = ParseEntityBlocks(lumpText);
    const ParsedEntityText file = ParseEntityBlocks(text);
    const BlockDiff diff = DiffBlocks(lump, file);
    figures["added"] = diff.added.size();
    figures["removed"] = diff.removed.size();
    figures["changed"] = diff.changed.size();
    if (!diff.Same()) {
        warn(
            Format("%s differs from the map's entity lump, and a server that reads it loads "
                   "its blocks instead: %zu added, %zu removed, %zu changed (first: %s)",
                   path.c_str(), diff.added.size(), diff.removed.size(), diff.changed.size(),
                   FirstDifference(diff, lump, file).c_str()));
    }
    report.figures["entityFile"] = std::move(figures);
    return findings;
}

}  // namespace entorra::cli
