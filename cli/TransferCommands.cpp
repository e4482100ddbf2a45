// export and import: the entity text between a map and a plain text file.

#include <filesystem>
#include <map>
#include <optional>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "bsp/FileText.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/MapWrite.h"
#include "cli/Operands.h"
#include "cli/Sources.h"
#include "entities/EngineLint.h"
#include "entities/EntityLint.h"
#include "entities/EntityText.h"
#include "io/AtomicWrite.h"
#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string EntityFileIn(const std::string& folder, const std::string& map) {
    return Utf8FromPath(PathFromUtf8(folder) / PathFromUtf8(EntityFilePathFor(map)).filename());
}

}  // namespace

bool HasMapExtension(const std::string& path) {
    return Lowered(Utf8FromPath(PathFromUtf8(path).extension())) == ".bsp";
}

std::string EntityFilePathFor(const std::string& mapPath) {
    if (HasMapExtension(mapPath)) {
        return mapPath.substr(0, mapPath.size() - 4) + ".ent";
    }
    return mapPath + ".ent";
}

int RunExport(const CommandContext& context, const std::vector<std::string>& operands,
              const std::string& outputFolder, ExportForm form) {
    const std::vector<std::string> maps = ExpandOperands(operands, context.recursive, context.sink);
    if (maps.empty()) {
        return NoMaps(context);
    }
    // Maps of the same name from different folders would write one file in outputFolder:
    // the first keeps it, the others fail rather than overwrite it.
    std::vector<std::string> targets;
    std::map<std::string, std::string> firstMapOf;
    for (const std::string& map : maps) {
        targets.push_back(outputFolder.empty() ? EntityFilePathFor(map)
                                               : EntityFileIn(outputFolder, map));
        firstMapOf.try_emplace(targets.back(), map);
    }
    return RunBatch(context, maps, [&](std::size_t index, CMapReport& report) {
        const std::string& map = maps[index];
        const std::string& target = targets[index];
        report.figures["entityFile"] = JsonText(target);
        if (firstMapOf.at(target) != map) {
            report.Fail(Format("Error writing the file: %s.\nIt is the entity file of %s too.",
                               target.c_str(), firstMapOf.at(target).c_str()));
            return;
        }
        const Result<MapExcerpt> read = ReadMapEntityText(context.fileSystem, map);
        if (!read) {
            report.Fail(read.Error().message);
            return;
        }
        const std::size_t entityBytes = read->EntityText().size();
        std::string text(read->EntityText());
        if (form == ExportForm::Lump) {
            text += '\0';
        } else if (form == ExportForm::Clean) {
            text = MakeEditorText(text);
            PrepareFileText(text);
        }
        try {
            WriteFileAtomically(context.fileSystem, target, text.data(), text.size());
        } catch (const CFileError& error) {
            report.Fail(Format("Error writing the file: %s.\n%s", target.c_str(), error.what()));
            return;
        }
        report.figures["entityBytes"] = entityBytes;
        report.figures["fileBytes"] = text.size();
        report.text = map + " -> " + target + '\n';
    });
}

ImportOperands SplitImportOperands(const std::vector<std::string>& positionals) {
    ImportOperands split{positionals, {}};
    if (positionals.size() == 2) {
        std::error_code error;
        const std::string& second = positionals[1];
        if (!HasMapExtension(second) && !fs::is_directory(PathFromUtf8(second), error)) {
            split.maps.pop_back();
            split.entityFile = second;
        }
    }
    return split;
}

int RunImport(const CommandContext& context, const std::vector<std::string>& operands,
              const std::string& entitySource, const WriteOptions& options) {
    const std::vector<std::string> maps = ExpandOperands(operands, context.recursive, context.sink);
    if (maps.empty()) {
        return NoMaps(context);
    }
    std::error_code error;
    const bool fromFolder =
        !entitySource.empty() && fs::is_directory(PathFromUtf8(entitySource), error);
    if (!entitySource.empty() && !fromFolder && maps.size() != 1) {
        context.sink.ShowMessage(Format("The entity file %s is for one map, not %zu.",
                                        entitySource.c_str(), maps.size()));
        return 2;
    }
    return RunBatch(context, maps, [&](std::size_t index, CMapReport& report) {
        const std::string& map = maps[index];
        const std::string source = entitySource.empty() ? EntityFilePathFor(map)
                                   : fromFolder         ? EntityFileIn(entitySource, map)
                                                        : entitySource;
        report.figures["entityFile"] = JsonText(source);
        report.text = source + " -> " + map + '\n';

        std::string text;
        if (!ReadEntityFile(context, source, report, text)) {
            return;
        }

        // A typo in the text can stop the server when it loads the map: refuse it first.
        const std::vector<EngineFinding> findings = LintForEngine(text, context.lint);
        Json findingsJson = Json::array();
        int errors = 0;
        for (const EngineFinding& finding : findings) {
            errors += finding.severity == LintSeverity::Error ? 1 : 0;
            findingsJson.push_back({{"line", finding.line},
                                    {"column", finding.column},
                                    {"severity", LintSeverityName(finding.severity)},
                                    {"message", JsonText(finding.message)}});
            if (finding.severity != LintSeverity::Information) {
                report.text +=
                    Format("  %s:%d:%d: %s: %s\n", source.c_str(), finding.line, finding.column,
                           LintSeverityName(finding.severity), finding.message.c_str());
            }
        }
        report.figures["findings"] = std::move(findingsJson);
        if (errors > 0 && !options.force) {
            report.Fail(
                Format("The entity file %s has %d error(s); %s was not changed.\nUse "
                       "--force to import it anyway.",
                       source.c_str(), errors, map.c_str()));
            return;
        }

        // The map's text ends at a NUL: what follows it would be written and never read, and
        // the sizes reported would not be the text's.
        if (const std::optional<TextCut> cut = FindTextCut(text)) {
            report.text += Format("  %s:%d:%d: the text is cut at its NUL byte (offset %zu)\n",
                                  source.c_str(), cut->line, cut->column, cut->offset);
            report.figures["cutAt"] = {
                {"line", cut->line}, {"column", cut->column}, {"offset", cut->offset}};
            text.resize(cut->offset);
        }

        CBspFile file(report.Sink(), context.fileSystem);
        // Held from the load to the save, so that no other writer comes in between.
        if (file.Load(map, options.dryRun ? LoadMode::Read : LoadMode::ForSave) != 0) {
            report.Fail();
            return;
        }
        WriteMap(context, file, map, std::move(text), options, report);
    });
}

}  // namespace entorra::cli
