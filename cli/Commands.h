#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "bsp/MessageSink.h"

namespace entorra::cli {

// Each command returns the tool's exit status: 0 when every map succeeded, 1 when any failed.

int RunInfo(const std::vector<std::string>& maps, std::ostream& out, IMessageSink& sink);
int RunExport(const std::vector<std::string>& maps, const std::string& outputFolder,
              std::ostream& out, IMessageSink& sink);
int RunImport(const std::string& map, const std::string& entityFile, std::ostream& out,
              IMessageSink& sink);

// The dialog's entity commands, each map shown as the dialog shows it.
// show: the entity text in editor form.
int RunShow(const std::string& map, std::ostream& out, IMessageSink& sink);
// census: "MAP: T= %d CT= %d VIP= %d" per map.
int RunCensus(const std::vector<std::string>& maps, std::ostream& out, IMessageSink& sink);
// find: per block that Find and Find Next select, "MAP START END" and the block's text.
int RunFind(const std::string& searchString, const std::vector<std::string>& maps,
            std::ostream& out, IMessageSink& sink);
// delete-all: Delete All's message as one line per map, then the dialog's Save unless
// nothing was deleted or dryRun is set.
int RunDeleteAll(const std::string& searchString, const std::vector<std::string>& maps, bool dryRun,
                 std::ostream& out, IMessageSink& sink);

// MAP.bsp -> MAP.ent (the extension matched without regard to case; other names get ".ent").
std::string EntityFilePathFor(const std::string& mapPath);

}  // namespace entorra::cli
