// check: a map file's layout, the engine lint of its entity text and the NAME.ent beside it,
// or the engine lint of an entity file. Reads only.

#include <algorithm>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/MapFindings.h"
#include "cli/Commands.h"
#include "cli/EntityFileBeside.h"
#include "cli/Json.h"
#include "cli/Sources.h"
#include "entities/EngineLint.h"
#include "entities/EntityLint.h"

namespace entorra::cli {

namespace {

// Findings of the text, then the file's, each group in its own order. Information is printed
// only when asked for.
// A layout other than Half-Life's is named on the summary line, so that it shows without
// --information.
void Report(const std::string& map, std::vector<LintFinding> findings, CMapReport& report,
            bool information, const std::string& layout = {}) {
    Json list = Json::array();
    for (const LintFinding& finding : findings) {
        const char* severity = LintSeverityName(finding.severity);
        list.push_back({{"line", finding.line > 0 ? Json(finding.line) : Json(nullptr)},
                        {"column", finding.column > 0 ? Json(finding.column) : Json(nullptr)},
                        {"severity", severity},
                        {"message", JsonText(finding.message)}});
        if (finding.severity == LintSeverity::Information && !information) {
            continue;
        }
        std::string where = map;
        if (finding.line > 0) {
            where += Format(":%d", finding.line);
            if (finding.column > 0) {
                where += Format(":%d", finding.column);
            }
        }
        report.text += Format("%s: %s: %s\n", where.c_str(), severity, finding.message.c_str());
    }
    const int errors = CountFindings(findings, LintSeverity::Error);
    const int warnings = CountFindings(findings, LintSeverity::Warning);
    report.figures["errors"] = errors;
    report.figures["warnings"] = warnings;
    report.figures["information"] = CountFindings(findings, LintSeverity::Information);
    report.figures["findings"] = std::move(list);
    const std::string summary = Format("%d error(s), %d warning(s)", errors, warnings);
    const std::string named = layout.empty() ? std::string() : " (" + layout + " layout)";
    if (errors > 0) {
        report.text += map + ": " + summary + named + '\n';
        report.Fail(map + ": " + summary);
    } else {
        report.text += map + ": " + (warnings == 0 ? std::string("ok") : summary) + named + '\n';
    }
}

// The entity text as the chosen engine reads it.
std::vector<LintFinding> EngineFindings(std::string_view text, const EngineLintOptions& options) {
    std::vector<LintFinding> findings;
    for (EngineFinding& finding : LintForEngine(text, options)) {
        findings.push_back(
            {finding.line, finding.severity, std::move(finding.message), finding.column});
    }
    return findings;
}

LintSeverity LintSeverityOf(MapSeverity severity) {
    switch (severity) {
        case MapSeverity::Warning:
            return LintSeverity::Warning;
        case MapSeverity::Information:
            return LintSeverity::Information;
        case MapSeverity::Fatal:
        case MapSeverity::Error:
            break;
    }
    return LintSeverity::Error;
}

// A map's findings as check prints them: about the file (line 0), or at the line of the entity
// text that the finding's offset falls on.
std::vector<LintFinding> FileFindings(const MapInspection& inspection) {
    std::vector<LintFinding> findings;
    for (const MapFinding& finding : inspection.findings) {
        int line = 0;
        int column = 0;
        const std::int64_t start = static_cast<std::int64_t>(inspection.entityTextOffset);
        if (inspection.entityText && finding.lump == LUMP_ENTITIES && finding.offset &&
            *finding.offset >= start &&
            *finding.offset - start <= static_cast<std::int64_t>(inspection.entityText->size())) {
            const std::string_view before =
                inspection.entityText->substr(0, static_cast<std::size_t>(*finding.offset - start));
            line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
            const std::size_t lf = before.rfind('\n');
            column =
                static_cast<int>(before.size() - (lf == std::string_view::npos ? 0 : lf + 1)) + 1;
        }
        findings.push_back({line, LintSeverityOf(finding.severity), finding.message, column});
    }
    return findings;
}

}  // namespace

int RunCheck(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& path, CMapReport& report) {
        if (IsEntityFileName(path)) {
            std::string text;
            if (ReadEntityTextOf(context, path, report, text)) {
                Report(path, EngineFindings(text, context.lint), report, context.lintInformation);
            }
            return;
        }
        Result<MapExcerpt> read = InspectMapFile(context.fileSystem, path);
        if (!read) {
            // The map file object's own words for it.
            report.Fail(read.Error().message);
            return;
        }
        const MapInspection& inspection = read->inspection;
        std::vector<LintFinding> findings;
        if (inspection.entityText) {
            findings = EngineFindings(*inspection.entityText, context.lint);
        }
        const std::vector<LintFinding> fileFindings = FileFindings(inspection);
        findings.insert(findings.end(), fileFindings.begin(), fileFindings.end());
        if (inspection.entityText) {
            const std::vector<LintFinding> beside =
                CheckEntityFileBeside(context, path, *inspection.entityText, report);
            findings.insert(findings.end(), beside.begin(), beside.end());
        }
        report.figures["layout"] = VariantName(inspection.variant.kind);
        Report(path, std::move(findings), report, context.lintInformation,
               inspection.variant.kind == BspVariant::HalfLife
                   ? std::string()
                   : VariantName(inspection.variant.kind));
    });
}

}  // namespace entorra::cli
