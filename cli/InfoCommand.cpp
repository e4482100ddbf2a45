#include <iomanip>
#include <sstream>

#include "bsp/BspFile.h"
#include "bsp/MapInfo.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace entorra::cli {
namespace {

std::string LayoutLine(const MapVariant& variant) {
    switch (variant.kind) {
        case BspVariant::HalfLife:
            return "Half-Life (entity lump in entry 0)";
        case BspVariant::BlueShift:
            return "Blue Shift (entity lump in entry 1, planes in entry 0)";
        case BspVariant::Unrecognised:
            break;
    }
    return "not recognised: " + variant.doubt + "; a save refuses to write it";
}

std::string ChecksumOrNot(const std::optional<std::uint32_t>& checksum) {
    return checksum ? ChecksumText(*checksum)
                    : std::string("unavailable (a lump lies outside the file)");
}

Json BspxJson(const BspxDirectory& bspx) {
    if (bspx.state == BspxDirectory::State::Absent) {
        return nullptr;
    }
    Json lumps = Json::array();
    for (const BspxEntry& entry : bspx.entries) {
        lumps.push_back(
            {{"name", JsonText(entry.name)}, {"offset", entry.offset}, {"length", entry.length}});
    }
    Json damages = Json::array();
    for (const std::string& damage : bspx.damages) {
        damages.push_back(JsonText(damage));
    }
    return {{"offset", bspx.offset},
            {"valid", bspx.state == BspxDirectory::State::Valid},
            {"lumps", std::move(lumps)},
            {"damages", std::move(damages)}};
}

}  // namespace

int RunInfo(const CommandContext& context, const std::vector<std::string>& operands) {
    return RunOnMaps(context, operands, [&](const std::string& map, CMapReport& report) {
        CBspFile file(report.Sink(), context.fileSystem);
        if (file.Load(map) != 0) {
            report.Fail();
            return;
        }
        const MapInfo info = DescribeMap(file.Image(), file.Variant(), file.EntityTextLength());
        const MapVariant& variant = info.variant;

        Json lumps = Json::array();
        for (const PlacedLump& lump : info.lumpsInFileOrder) {
            lumps.push_back({{"index", lump.index},
                             {"name", variant.EntryName(lump.index)},
                             {"offset", lump.entry.offset},
                             {"length", lump.entry.length}});
        }
        report.figures["version"] = info.version;
        report.figures["layout"] = VariantName(variant.kind);
        report.figures["entityEntry"] = variant.EntityEntry();
        report.figures["size"] = file.Image().size();
        report.figures["lumps"] = std::move(lumps);
        report.figures["meetsFileOrder"] = info.meetsFileOrder;
        report.figures["entityBytes"] = info.entityTextLength;
        report.figures["entityBlocks"] = info.entityBlockCount;
        report.figures["bspx"] = BspxJson(info.bspx);
        report.figures["checksum"] =
            info.checksum ? Json(ChecksumText(*info.checksum)) : Json(nullptr);
        report.figures["checksumSkippingEntry0"] =
            info.checksumSkippingEntry0 ? Json(ChecksumText(*info.checksumSkippingEntry0))
                                        : Json(nullptr);

        std::ostringstream out;
        out << map << '\n';
        out << "  version      " << info.version << '\n';
        out << "  layout       " << LayoutLine(variant) << '\n';
        out << "  size         " << file.Image().size() << " bytes\n";
        out << "  lumps in file order:\n";
        out << "    index  name            offset      length\n";
        for (const PlacedLump& lump : info.lumpsInFileOrder) {
            out << "    " << std::setw(5) << lump.index << "  " << std::left << std::setw(14)
                << variant.EntryName(lump.index) << std::right << std::setw(8) << lump.entry.offset
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
        if (info.bspx.state != BspxDirectory::State::Absent) {
            out << "  BSPX         directory at offset " << info.bspx.offset << ", "
                << info.bspx.entries.size() << " lumps"
                << (info.bspx.state == BspxDirectory::State::Valid ? "" : ", damaged") << '\n';
            for (const std::string& damage : info.bspx.damages) {
                out << "    damaged: " << damage << '\n';
            }
            if (!info.bspx.entries.empty()) {
                out << "    name                        offset      length\n";
                for (const BspxEntry& entry : info.bspx.entries) {
                    out << "    " << std::left << std::setw(24) << entry.name << std::right
                        << std::setw(10) << entry.offset << std::setw(12) << entry.length << '\n';
                }
            }
        }
        if (info.checksum == info.checksumSkippingEntry0) {
            out << "  checksum     " << ChecksumOrNot(info.checksum) << '\n';
        } else {
            // Engines disagree on such a map: say which value each rule gives.
            out << "  checksum     " << ChecksumOrNot(info.checksum)
                << " (every lump but the entity lump)\n";
            out << "               " << ChecksumOrNot(info.checksumSkippingEntry0)
                << " (every lump but entry 0, as engines that always skip entry 0 take it)\n";
        }
        report.text = out.str();
    });
}

}  // namespace entorra::cli
