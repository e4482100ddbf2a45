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

// MAP.bsp -> MAP.ent (the extension matched without regard to case; other names get ".ent").
std::string EntityFilePathFor(const std::string& mapPath);

}  // namespace entorra::cli
