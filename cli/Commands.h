#pragma once

// The commands of entorra-cli. Each takes maps and folders (see ExpandOperands), prints per
// map in the order of the maps, and returns the tool's exit status: 0 when every map
// succeeded, 1 when any failed (the others are still done).

#include <string>
#include <vector>

#include "cli/Batch.h"

namespace entorra::cli {

// For the commands that write maps.
struct WriteOptions {
    bool dryRun = false;  // report what would change, write nothing
    bool backup = false;  // copy the map to MAP.bsp.bak before changing it, unless that exists
    bool force = false;   // import: take an entity file with lint errors
};

// info: version, lumps in file order, save layout, entity text size and blocks, checksum.
int RunInfo(const CommandContext& context, const std::vector<std::string>& operands);

// What export writes into an entity file.
enum class ExportForm {
    Text,   // the lump's text up to its NUL, byte for byte: what ReHLDS writes itself
    Lump,   // the same and its NUL: the entity lump byte for byte
    Clean,  // what a save writes into the lump, without its NUL: LF line ends, from the first
            // "{" to the last "}", one LF
};

// export: each map's entity text to MAP.ent beside it, or into outputFolder when not empty.
int RunExport(const CommandContext& context, const std::vector<std::string>& operands,
              const std::string& outputFolder, ExportForm form = ExportForm::Text);

// import: each map gets the text of its entity file, saved as the dialog's Save saves editor
// text. entitySource is one entity file (for a single map), a folder holding NAME.ent files,
// or empty for MAP.ent beside each map. Entity files with errors in the engine lint for
// context.lint are refused unless options.force.
int RunImport(const CommandContext& context, const std::vector<std::string>& operands,
              const std::string& entitySource, const WriteOptions& options);

// The import command line: "MAP ENTFILE" (the second neither a folder nor a .bsp), or maps
// and folders only.
struct ImportOperands {
    std::vector<std::string> maps;
    std::string entityFile;
};
ImportOperands SplitImportOperands(const std::vector<std::string>& positionals);

// The dialog's entity commands, each map shown as the dialog shows it.
// show: the entity text in editor form; with several maps each under a "==> MAP <==" line.
int RunShow(const CommandContext& context, const std::vector<std::string>& operands);
// census: "MAP: T= %d CT= %d VIP= %d" per map.
int RunCensus(const CommandContext& context, const std::vector<std::string>& operands);
// find: per block that Find and Find Next select, "MAP START END" and the block's text.
int RunFind(const CommandContext& context, const std::string& searchString,
            const std::vector<std::string>& operands);
// delete-all: Delete All's message as one line per map, then the dialog's Save unless
// nothing was deleted or options.dryRun is set.
int RunDeleteAll(const CommandContext& context, const std::string& searchString,
                 const std::vector<std::string>& operands, const WriteOptions& options);

// check: the map file's layout and the lint of its entity text (or of an .ent file); never
// writes. A map with an error finding fails.
int RunCheck(const CommandContext& context, const std::vector<std::string>& operands);

// diff: the entity blocks added, removed and changed from left to right, each side a map, an
// entity file or a folder (maps paired by name).
int RunDiff(const CommandContext& context, const std::string& left, const std::string& right);

// MAP.bsp -> MAP.ent (the extension matched without regard to case; other names get ".ent").
std::string EntityFilePathFor(const std::string& mapPath);

// True for a name ending in ".bsp", without regard to case.
bool HasMapExtension(const std::string& path);

}  // namespace entorra::cli
