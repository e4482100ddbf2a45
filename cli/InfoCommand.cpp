#include <iomanip>
#include <sstream>

#include "bsp/BspFile.h"
#include "bsp/MapInfo.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace entorra::cli {

int RunInfo(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CBspFile file(report.Sink(), context.fileSystem);
        if (file.Load(map) != 0) {
            report.Fail();
            return;
        }
        const MapInfo info = DescribeMap(file.Image(), file.Variant(), file.EntityTextLength());

        Json lumps = Json::array();
        for (const PlacedLump& lump : info.lumpsInFileOrder) {
            lumps.push_back({{"index", lump.index},
                             {"name", LumpName(lump.index)},
                             {"offset", lump.entry.offset},
                             {"length", lump.entry.length}});
        }
        report.figures["version"] = info.version;
        report.figures["size"] = file.Image().size();
        report.figures["lumps"] = std::move(lumps);
        report.figures["meetsFileOrder"] = info.meetsFileOrder;
        report.figures["entityBytes"] = info.entityTextLength;
        report.figures["entityBlocks"] = info.entityBlockCount;
        report.figures["checksum"] =
            info.checksum ? Json(ChecksumText(*info.checksum)) : Json(nullptr);

        std::ostringstream out;
        out << map << '\n';
        out << "  version      " << info.version << '\n';
        out << "  size         " << file.Image().size() << " bytes\n";
        out << "  lumps in file order:\n";
        out << "    index  name            offset      length\n";
        for (const PlacedLump& lump : info.lumpsInFileOrder) {
            out << "    " << std::setw(5) << lump.index << "  " << std::left << std::setw(14)
                << LumpName(lump.index) << std::right << std::setw(8) << lump.entry.offset
                << std::setw(12) << lump.entry.length << '\n';
        }
        out << "  file order   "
            << (info.meetsFileOrder
                    ? "entity lump followed by the texture lump, which ends the file"
                    : "lumps or bytes follow the entity lump; a save moves them and keeps every "
                      "byte")
            << '\n';
        out << "  entities     " << info.entityTextLength << " bytes of text, "
            << info.entityBlockCount << " blocks\n";
        out << "  checksum     "
            << (info.checksum ? ChecksumText(*info.checksum)
                              : std::string("unavailable (a lump lies outside the file)"))
            << '\n';
        report.text = out.str();
    });
}

}  // namespace entorra::cli
