// check: a map file's layout and the lint of its entity text, or the lint of an entity file.
// Reads only.

#include <algorithm>
#include <span>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/MapInspection.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Sources.h"
#include "entities/EntityLint.h"

namespace entorra::cli {

namespace {

// Findings of the text, then the file's, each group in its own order.
void Report(const std::string& map, std::vector<LintFinding> findings, CMapReport& report) {
    Json list = Json::array();
    for (const LintFinding& finding : findings) {
        const char* severity = LintSeverityName(finding.severity);
        if (finding.line > 0) {
            report.text += Format("%s:%d: %s: %s\n", map.c_str(), finding.line, severity,
                                  finding.message.c_str());
        } else {
            report.text += Format("%s: %s: %s\n", map.c_str(), severity, finding.message.c_str());
        }
        list.push_back({{"line", finding.line > 0 ? Json(finding.line) : Json(nullptr)},
                        {"severity", severity},
                        {"message", JsonText(finding.message)}});
    }
    const int errors = CountFindings(findings, LintSeverity::Error);
    const int warnings = CountFindings(findings, LintSeverity::Warning);
    report.figures["errors"] = errors;
    report.figures["warnings"] = warnings;
    report.figures["findings"] = std::move(list);
    const std::string summary = Format("%d error(s), %d warning(s)", errors, warnings);
    if (errors > 0) {
        report.text += map + ": " + summary + '\n';
        report.Fail(map + ": " + summary);
    } else {
        report.text += map + ": " + (findings.empty() ? std::string("ok") : summary) + '\n';
    }
}

// A map's findings as check prints them: about the file (line 0), or at the line of the entity
// text that the finding's offset falls on.
std::vector<LintFinding> FileFindings(std::span<const std::uint8_t> image,
                                      const MapInspection& inspection) {
    std::vector<LintFinding> findings;
    for (const MapFinding& finding : inspection.findings) {
        int line = 0;
        if (inspection.entityText && finding.lump == LUMP_ENTITIES && finding.offset) {
            const auto* text = inspection.entityText->data();
            const auto* at = reinterpret_cast<const char*>(image.data()) + *finding.offset;
            if (at >= text && at <= text + inspection.entityText->size()) {
                line = 1 + static_cast<int>(std::count(text, at, '\n'));
            }
        }
        findings.push_back(
            {line,
             finding.severity == MapSeverity::Warning ? LintSeverity::Warning : LintSeverity::Error,
             finding.message});
    }
    return findings;
}

}  // namespace

int RunCheck(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& path, CMapReport& report) {
        if (IsEntityFileName(path)) {
            std::string text;
            if (ReadEntityTextOf(context, path, report, text)) {
                Report(path, LintEntityText(text), report);
            }
            return;
        }
        Result<MapImage> read = ReadMapFile(context.fileSystem, path);
        if (!read) {
            // The map file object's own words for it.
            report.Fail(read.Error().message);
            return;
        }
        const std::span<const std::uint8_t> image = read->Bytes();
        const MapInspection inspection = InspectMap(image);
        std::vector<LintFinding> findings;
        if (inspection.entityText) {
            findings = LintEntityText(*inspection.entityText);
        }
        const std::vector<LintFinding> fileFindings = FileFindings(image, inspection);
        findings.insert(findings.end(), fileFindings.begin(), fileFindings.end());
        Report(path, std::move(findings), report);
    });
}

}  // namespace entorra::cli
