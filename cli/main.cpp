#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/Commands.h"
#include "cli/ConsoleSink.h"

int main(int argc, char** argv) {
    using namespace entorra::cli;

    CLI::App app{"entorra-cli: read and rewrite the entity lump of Half-Life (BSP30) maps"};
    app.set_version_flag("--version", "Entorra " ENTORRA_VERSION);
    app.require_subcommand(1);

    std::vector<std::string> maps;
    std::string outputFolder;
    std::string map;
    std::string entityFile;

    CLI::App* info = app.add_subcommand(
        "info", "Version, lumps in file order, save layout, entity text size and map checksum");
    info->add_option("MAP", maps, "Map files")->required();

    CLI::App* exportCommand =
        app.add_subcommand("export", "Write each map's entity text to MAP.ent beside it");
    exportCommand->add_option("MAP", maps, "Map files")->required();
    exportCommand->add_option("-o,--output", outputFolder, "Write the .ent files into this folder")
        ->check(CLI::ExistingDirectory);

    CLI::App* importCommand = app.add_subcommand(
        "import", "Save an entity file into a map, as the dialog's Save does with that text");
    importCommand->add_option("MAP", map, "Map file")->required();
    importCommand->add_option("ENTFILE", entityFile, "Entity text (default: MAP with .ent)");

    std::string searchString;
    bool dryRun = false;

    CLI::App* show =
        app.add_subcommand("show", "Print the map's entity text in editor form (CR LF line ends)");
    show->add_option("MAP", map, "Map file")->required();

    CLI::App* census = app.add_subcommand(
        "census", "Spawn census per map, as the dialog shows it: \"T= %d CT= %d VIP= %d\"");
    census->add_option("MAP", maps, "Map files")->required();

    CLI::App* find = app.add_subcommand(
        "find",
        "Blocks that Find and Find Next select, in order: map, selection start and end, text");
    find->add_option("STRING", searchString, "Search string (case-sensitive)")->required();
    find->add_option("MAP", maps, "Map files")->required();

    CLI::App* deleteAll = app.add_subcommand(
        "delete-all", "Delete every block containing STRING, as Delete All does, and save the map");
    deleteAll->add_option("STRING", searchString, "Search string (case-sensitive)")->required();
    deleteAll->add_option("MAP", maps, "Map files")->required();
    deleteAll->add_flag("--dry-run", dryRun, "Report what would be deleted; write nothing");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) {
        return app.exit(success);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }

    CConsoleSink sink;
    if (*info) {
        return RunInfo(maps, std::cout, sink);
    }
    if (*exportCommand) {
        return RunExport(maps, outputFolder, std::cout, sink);
    }
    if (*show) {
        return RunShow(map, std::cout, sink);
    }
    if (*census) {
        return RunCensus(maps, std::cout, sink);
    }
    if (*find) {
        return RunFind(searchString, maps, std::cout, sink);
    }
    if (*deleteAll) {
        return RunDeleteAll(searchString, maps, dryRun, std::cout, sink);
    }
    return RunImport(map, entityFile, std::cout, sink);
}
