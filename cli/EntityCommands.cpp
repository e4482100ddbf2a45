// show, census, find and delete-all: the dialog's entity commands on each map, run on the
// in-memory editor with the same code the dialog runs.

#include <cstdlib>
#include <optional>

#include "base/Format.h"
#include "bsp/MapInfo.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/MapWrite.h"
#include "cli/ShownMap.h"
#include "entities/EntitySearch.h"

namespace entorra::cli {

namespace {

// Delete All's message as one line.
class CLineSink final : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override {
        line = text;
        for (char& c : line) {
            if (c == '\n') {
                c = ' ';
            }
        }
        said = true;
    }
    std::string line;
    bool said = false;
};

}  // namespace

int RunShow(const CommandContext& context, const std::vector<std::string>& operands) {
    const bool several = ExpandOperands(operands, context.recursive, context.sink).size() > 1;
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CShownMap shown(report.Sink(), context.fileSystem);
        if (!shown.Show(map)) {
            report.Fail();
            return;
        }
        const std::string_view text = shown.Editor().BorrowText();
        report.figures["text"] = JsonText(text);
        if (several) {
            report.text = "==> " + map + " <==\r\n";
        }
        report.text.append(text);
    });
}

int RunCensus(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CShownMap shown(report.Sink(), context.fileSystem);
        if (!shown.Show(map)) {
            report.Fail();
            return;
        }
        CFixedSearchString unused;
        CEntitySearch search(shown.Editor(), unused, report.Sink());
        // The dialog's order of evaluation.
        const int vip = search.CountEntityBlocks("info_vip_start");
        const int ct = search.CountEntityBlocks("info_player_start");
        const int t = search.CountEntityBlocks("info_player_deathmatch");
        report.figures["T"] = t;
        report.figures["CT"] = ct;
        report.figures["VIP"] = vip;
        report.text = map + ": " + Format("T= %d CT= %d VIP= %d", t, ct, vip) + '\n';
    });
}

int RunFind(const CommandContext& context, const std::string& searchString,
            const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CShownMap shown(report.Sink(), context.fileSystem);
        if (!shown.Show(map)) {
            report.Fail();
            return;
        }
        CMemoryEditor& editor = shown.Editor();
        CFixedSearchString source(searchString);
        CEntitySearch search(editor, source, report.Sink());
        Json blocks = Json::array();
        const auto print = [&](const TextSelection& selection) {
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
        };

        // Find, then Find Next until it finds nothing or wraps round to the first block.
        search.SetSearchPosition(0);
        if (search.FindFromPosition()) {
            const TextSelection first = editor.GetSelection();
            print(first);
            while (search.FindFromPosition() && editor.GetSelection() != first) {
                print(editor.GetSelection());
            }
        }
        report.figures["search"] = JsonText(searchString);
        report.figures["blocks"] = std::move(blocks);
    });
}

int RunDeleteAll(const CommandContext& context, const std::string& searchString,
                 const std::vector<std::string>& operands, const WriteOptions& options) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CShownMap shown(report.Sink(), context.fileSystem);
        if (!shown.Show(map)) {
            report.Fail();
            return;
        }
        CFixedSearchString source(searchString);
        CLineSink said;
        CEntitySearch search(shown.Editor(), source, said);
        search.OnDeleteAll();
        // The count, as Delete All reported it.
        int deleted = 0;
        if (said.said) {
            deleted = std::atoi(said.line.c_str());
        }
        report.figures["search"] = JsonText(searchString);
        report.figures["deleted"] = deleted;
        report.text = map + ": " + (said.said ? said.line : std::string("nothing deleted")) + '\n';
        if (!shown.Editor().IsModified()) {
            const CBspFile& file = shown.File();
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
        WriteMap(context, shown.File(), map, shown.Editor().GetText(), options, report);
    });
}

}  // namespace entorra::cli
