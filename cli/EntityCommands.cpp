// show, census, find and delete-all: the dialog's entity commands on each map, run on the
// in-memory editor with the same code the dialog runs.

#include <optional>

#include "base/Format.h"
#include "bsp/MapInfo.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/MapWrite.h"
#include "cli/Operands.h"
#include "entities/EntitySearch.h"
#include "entities/FindSequence.h"
#include "entities/MemoryEditor.h"
#include "entities/ShownMap.h"

namespace entorra::cli {

namespace {

// A map shown as the dialog shows it, on the editor in memory.
struct CInMemory {
    CInMemory(IMessageSink& sink, IFileSystem& fileSystem) : shown(editor, sink, fileSystem) {}
    CMemoryEditor editor;
    CShownMap shown;
};

// Delete All's message as one line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

int RunShow(const CommandContext& context, const std::vector<std::string>& operands) {
    const std::vector<std::string> maps = ExpandOperands(operands, context.recursive, context.sink);
    const bool several = maps.size() > 1;
    return RunOnMapList(context, maps, [&](const std::string& map, CMapReport& report) {
        CInMemory memory(report.Sink(), context.fileSystem);
        if (!memory.shown.Show(map)) {
            report.Fail();
            return;
        }
        const std::string_view text = memory.editor.BorrowText();
        report.figures["text"] = JsonText(text);
        if (several) {
            report.text = "==> " + map + " <==\r\n";
        }
        report.text.append(text);
    });
}

int RunCensus(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CInMemory memory(report.Sink(), context.fileSystem);
        if (!memory.shown.Show(map)) {
            report.Fail();
            return;
        }
        const SpawnCensus& census = memory.shown.Census();
        report.figures["T"] = census.t;
        report.figures["CT"] = census.ct;
        report.figures["VIP"] = census.vip;
        report.text = map + ": " + memory.shown.CensusText() + '\n';
    });
}

int RunFind(const CommandContext& context, const std::string& searchString,
            const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CInMemory memory(report.Sink(), context.fileSystem);
        if (!memory.shown.Show(map)) {
            report.Fail();
            return;
        }
        CMemoryEditor& editor = memory.editor;
        Json blocks = Json::array();
        // Find, then Find Next until it finds nothing or wraps round to the first block.
        for (const TextSelection& selection : FindSelections(searchString, editor.BorrowText())) {
            const std::string_view block = editor.BorrowText().substr(
                static_cast<std::size_t>(selection.start),
                static_cast<std::size_t>(selection.end - selection.start));
            report.text += Format("%s %d %d\n", map.c_str(), selection.start, selection.end);
            report.text.append(block);
            if (block.empty() || block.back() != '\n') {
                report.text += '\n';
            }
            blocks.push_back(
                {{"start", selection.start}, {"end", selection.end}, {"text", JsonText(block)}});
        }
        report.figures["search"] = JsonText(searchString);
        report.figures["blocks"] = std::move(blocks);
    });
}

int RunDeleteAll(const CommandContext& context, const std::string& searchString,
                 const std::vector<std::string>& operands, const WriteOptions& options) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CInMemory memory(report.Sink(), context.fileSystem);
        // Held from the load to the save, so that no other writer comes in between.
        if (!memory.shown.Show(map, options.dryRun ? LoadMode::Read : LoadMode::ForSave)) {
            report.Fail();
            return;
        }
        CFixedSearchString source(searchString);
        CEntitySearch search(memory.editor, source, report.Sink());
        const int deleted = search.DeleteAll();
        report.figures["search"] = JsonText(searchString);
        report.figures["deleted"] = deleted;
        report.text = map + ": " +
                      (deleted > 0 ? OneLine(DeleteAllMessage(deleted, searchString))
                                   : std::string("nothing deleted")) +
                      '\n';
        if (!memory.editor.IsModified()) {
            const CBspFile& file = memory.shown.File();
            const auto json = [](const std::optional<std::uint32_t>& checksum) {
                return checksum ? Json(ChecksumText(*checksum)) : Json(nullptr);
            };
            const Json checksum = json(MapChecksum(file.Image(), file.Variant()));
            const Json other = json(ChecksumSkipping(file.Image(), 0));
            report.figures["checksumBefore"] = checksum;
            report.figures["checksumAfter"] = checksum;
            report.figures["checksumSkippingEntry0Before"] = other;
            report.figures["checksumSkippingEntry0After"] = other;
            report.figures["written"] = false;
            return;
        }
        WriteMap(context, memory.shown.File(), map, memory.editor.GetText(), options, report);
    });
}

}  // namespace entorra::cli
