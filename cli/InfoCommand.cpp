#include <iomanip>
#include <ostream>

#include "bsp/BspFile.h"
#include "bsp/MapInfo.h"
#include "cli/Commands.h"

namespace entorra::cli {

int RunInfo(const std::vector<std::string>& maps, std::ostream& out, IMessageSink& sink) {
    int status = 0;
    for (const std::string& map : maps) {
        CBspFile file(sink);
        if (file.Load(map) != 0) {
            status = 1;
            continue;
        }
        const MapInfo info = DescribeMap(file.Image(), file.EntityTextLength());
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
            << (info.meetsFileOrder ? "entity lump followed by the texture lump, which ends the file"
                                    : "lumps or bytes follow the entity lump; a save moves them and keeps every byte")
            << '\n';
        out << "  entities     " << info.entityTextLength << " bytes of text, "
            << info.entityBlockCount << " blocks\n";
        out << "  checksum     ";
        if (info.checksum) {
            out << std::hex << std::setw(8) << std::setfill('0') << *info.checksum << std::dec
                << std::setfill(' ') << '\n';
        } else {
            out << "unavailable (a lump lies outside the file)\n";
        }
    }
    return status;
}

}  // namespace entorra::cli
