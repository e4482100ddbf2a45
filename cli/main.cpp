#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <map>
#include <thread>

#include "cli/AllocatorTuning.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/ConsoleSink.h"

namespace {

constexpr const char* kFooter =
    "MAP operands may be map files or folders: a folder stands for its *.bsp files (matched\n"
    "without regard to case, sorted), with -r for those of its subfolders too.\n"
    "-j N, --json and -r (see entorra-cli --help) go before or after the command.\n"
    "Exit status: 0 every map succeeded, 1 any map failed (the others are still done),\n"
    "2 usage error. See entorra-cli(1).";

}  // namespace

int main(int argc, char** argv) {
    using namespace entorra;
    using namespace entorra::cli;
    TuneAllocatorForBatches();
    PrepareConsole();

    CLI::App app{
        "entorra-cli: read, check and rewrite the entity lump of Half-Life (BSP30) maps. Only "
        "the entity lump changes; the map checksum clients compare stays the same."};
    app.set_version_flag("--version", "Entorra " ENTORRA_VERSION);
    app.require_subcommand(1);
    app.footer(kFooter);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    unsigned jobs = cores;
    bool json = false;
    bool recursive = false;
    app.add_option("-j,--jobs", jobs,
                   "Maps worked on at once (default: the number of cores); the output is the "
                   "same for any number. Saves wait on the disk's flushes, so import and "
                   "delete-all gain from more jobs than cores")
        ->check(CLI::Range(1u, 1024u))
        ->default_val(cores);
    app.add_flag("--json", json,
                 "One JSON array on stdout: per map its path, ok, the message on failure and "
                 "the command's figures");
    app.add_flag("-r,--recursive", recursive, "Folders include the maps of their subfolders");
    app.fallthrough();

    std::vector<std::string> maps;
    std::string outputFolder;
    std::string entityFolder;
    std::string searchString;
    WriteOptions writeOptions;

    CLI::App* info = app.add_subcommand(
        "info",
        "Per map: version, size, lumps in file order, save layout, entity text size and "
        "blocks, and the map checksum the engine compares between client and server");
    info->add_option("MAP", maps, "Maps or folders")->required();

    CLI::App* exportCommand = app.add_subcommand(
        "export",
        "Write each map's entity text to MAP.ent beside it, in a form ripent-style tools, "
        "ReHLDS (maps/NAME.ent with sv_use_entity_file) and Xash all read");
    exportCommand->add_option("MAP", maps, "Maps or folders")->required();
    exportCommand->add_option("-o,--output", outputFolder, "Write the .ent files into this folder")
        ->check(CLI::ExistingDirectory);
    ExportForm exportForm = ExportForm::Text;
    exportCommand
        ->add_option("--form", exportForm,
                     "text: the lump's text up to its NUL, byte for byte (default; what ReHLDS "
                     "writes itself); lump: the same and its NUL, the entity lump byte for "
                     "byte; clean: what a save writes into the lump, LF line ends from the first "
                     "\"{\" to the last \"}\" and one LF, no NUL")
        ->transform(CLI::CheckedTransformer(std::map<std::string, ExportForm>{
            {"text", ExportForm::Text}, {"lump", ExportForm::Lump}, {"clean", ExportForm::Clean}}));

    // The engine the entity texts are linted for.
    std::string engineName = "goldsrc";
    std::string codePageName = "1252";
    EngineLintOptions lint;
    bool lintInformation = false;
    const auto addLintOptions = [&](CLI::App* command) {
        command
            ->add_option("--engine", engineName,
                         "Lint for this engine's parser and limits: goldsrc (default), hl25, "
                         "svencoop or xash")
            ->check(CLI::IsMember({"goldsrc", "hl25", "svencoop", "xash"}));
        command
            ->add_option("--players", lint.players,
                         "Player slots the map runs with; each takes an edict (default 32)")
            ->check(CLI::Range(1, 255));
        command
            ->add_option("--edicts", lint.edicts,
                         "The game's own edict figure (liblist.gam \"edicts\", -num_edicts) in "
                         "place of the engine's")
            ->check(CLI::Range(1, 1 << 20));
        command
            ->add_option("--code-page", codePageName,
                         "Code page of the map's text; bytes that are no character in it are "
                         "warnings: 1252 (default), 1251, 1250, utf-8 or none")
            ->check([](const std::string& name) {
                return CodePageNamed(name) ? std::string() : "unknown code page " + name;
            });
    };

    const auto addWriteFlags = [&](CLI::App* command) {
        command->add_flag("--dry-run", writeOptions.dryRun,
                          "Report what would change, with the checksum after; write nothing");
        command->add_flag("--backup", writeOptions.backup,
                          "Copy the map to MAP.bsp.bak before changing it; an existing backup "
                          "is never overwritten");
    };

    CLI::App* importCommand = app.add_subcommand(
        "import",
        "Save entity files into maps as the dialog's Save does (MAP.ent beside each map, "
        "ENTFILE for a single map, or NAME.ent from --from DIR); reports the checksum before "
        "and after");
    importCommand->add_option("MAP", maps, "Maps or folders, or MAP ENTFILE")->required();
    importCommand->add_option("--from", entityFolder, "Take NAME.ent for each map from this folder")
        ->check(CLI::ExistingDirectory);
    importCommand->add_flag("--force", writeOptions.force,
                            "Import an entity file even when check finds errors in it");
    addWriteFlags(importCommand);
    addLintOptions(importCommand);

    CLI::App* show =
        app.add_subcommand("show", "Print the entity text in editor form (CR LF line ends)");
    show->add_option("MAP", maps, "Maps or folders")->required();

    CLI::App* census = app.add_subcommand(
        "census", "Spawn census per map, as the dialog shows it: \"T= %d CT= %d VIP= %d\"");
    census->add_option("MAP", maps, "Maps or folders")->required();

    CLI::App* find = app.add_subcommand(
        "find",
        "Blocks that Find and Find Next select, in order: map, selection start and end, text");
    find->add_option("STRING", searchString, "Search string (case-sensitive)")->required();
    find->add_option("MAP", maps, "Maps or folders")->required();

    CLI::App* deleteAll = app.add_subcommand(
        "delete-all",
        "Delete every block containing STRING, as Delete All does, and save the map when "
        "anything was deleted; reports the checksum before and after");
    deleteAll->add_option("STRING", searchString, "Search string (case-sensitive)")->required();
    deleteAll->add_option("MAP", maps, "Maps or folders")->required();
    addWriteFlags(deleteAll);

    CLI::App* check = app.add_subcommand(
        "check",
        "Validate map files (header, lumps inside the file, overlaps, file order, alignment, "
        "the entity lump's NUL), lint entity texts as the engine reads them (its tokeniser, "
        "blocks, classnames, limits) and compare NAME.ent beside a map with its lump; .ent "
        "files are linted. Errors give exit status 1. Never writes");
    check->add_option("MAP", maps, "Maps, folders or .ent files")->required();
    addLintOptions(check);
    check->add_flag("--information", lintInformation,
                    "Print information findings too (what the engine changes by design, such "
                    "as \"angle\" into \"angles\")");

    std::string left;
    std::string right;
    CLI::App* diff = app.add_subcommand(
        "diff",
        "Entity blocks added, removed and changed from A to B, matched by classname, "
        "targetname and origin, with the changed keys. A and B are maps or .ent files, or two "
        "folders whose maps are paired by name");
    diff->add_option("A", left, "Map, .ent file or folder")->required();
    diff->add_option("B", right, "Map, .ent file or folder")->required();

    for (CLI::App* command : app.get_subcommands({})) {
        command->footer(kFooter);
    }

    try {
        // CLI11 takes the arguments after the program's own, last first.
        std::vector<std::string> arguments = Utf8Arguments(argc, argv);
        std::reverse(arguments.begin(), arguments.end());
        if (!arguments.empty()) {
            app.name(arguments.back());
            arguments.pop_back();
        }
        app.parse(arguments);
    } catch (const CLI::Success& success) {
        return app.exit(success);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }

    CConsoleSink sink;
    CommandContext context{std::cout, sink};
    context.jobs = jobs;
    context.json = json;
    context.recursive = recursive;
    context.progress = IsTerminal(stderr) ? &std::cerr : nullptr;
    context.outputOnTerminal = IsTerminal(stdout);
    lint.engine = *EngineProfileNamed(engineName);
    lint.codePage = *CodePageNamed(codePageName);
    context.lint = lint;
    context.lintInformation = lintInformation;

    if (*info) {
        return RunInfo(context, maps);
    }
    if (*exportCommand) {
        return RunExport(context, maps, outputFolder, exportForm);
    }
    if (*importCommand) {
        ImportOperands operands = SplitImportOperands(maps);
        if (!operands.entityFile.empty() && !entityFolder.empty()) {
            std::cerr << "import takes either ENTFILE or --from, not both.\n";
            return 2;
        }
        return RunImport(context, operands.maps,
                         operands.entityFile.empty() ? entityFolder : operands.entityFile,
                         writeOptions);
    }
    if (*show) {
        return RunShow(context, maps);
    }
    if (*census) {
        return RunCensus(context, maps);
    }
    if (*find) {
        return RunFind(context, searchString, maps);
    }
    if (*deleteAll) {
        return RunDeleteAll(context, searchString, maps, writeOptions);
    }
    if (*check) {
        return RunCheck(context, maps);
    }
    return RunDiff(context, left, right);
}
