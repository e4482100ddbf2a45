// export and import: the entity text between a map and a plain text file.

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "bsp/AtomicWrite.h"
#include "bsp/BspFile.h"
#include "bsp/Format.h"
#include "cli/Commands.h"

namespace entorra::cli {

std::string EntityFilePathFor(const std::string& mapPath) {
    const std::filesystem::path path(mapPath);
    std::string extension = path.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == ".bsp") {
        return mapPath.substr(0, mapPath.size() - 4) + ".ent";
    }
    return mapPath + ".ent";
}

int RunExport(const std::vector<std::string>& maps, const std::string& outputFolder,
              std::ostream& out, IMessageSink& sink) {
    int status = 0;
    for (const std::string& map : maps) {
        CBspFile file(sink);
        if (file.Load(map) != 0) {
            status = 1;
            continue;
        }
        std::string target = EntityFilePathFor(map);
        if (!outputFolder.empty()) {
            target = (std::filesystem::path(outputFolder) /
                      std::filesystem::path(target).filename()).string();
        }
        try {
            WriteFileAtomically(RealFileSystem(), target, file.GetEntityText(),
                                file.EntityTextLength());
            out << map << " -> " << target << '\n';
        } catch (const CFileError& error) {
            sink.ShowMessage(Format("Error writing the file: %s.\n%s", target.c_str(), error.what()));
            status = 1;
        }
    }
    return status;
}

int RunImport(const std::string& map, const std::string& entityFile, std::ostream& out,
              IMessageSink& sink) {
    const std::string source = entityFile.empty() ? EntityFilePathFor(map) : entityFile;
    std::ifstream input(source, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    if (!input.is_open() || input.bad()) {
        sink.ShowMessage(Format("Error reading the entity file: %s.", source.c_str()));
        return 1;
    }
    CBspFile file(sink);
    if (file.Load(map) != 0 || file.Save(map, text) != 0) {
        return 1;
    }
    out << source << " -> " << map << '\n';
    return 0;
}

}  // namespace entorra::cli
