#pragma once

// NAME.ent beside a map, which ReHLDS (sv_use_entity_file 1 or 2) and Xash read instead of the
// map's entity lump: check says when Xash would ignore it and when its blocks are not the
// lump's.

#include <string>
#include <string_view>
#include <vector>

#include "cli/Batch.h"
#include "entities/EntityLint.h"

namespace entorra::cli {

// Findings about the file (line 0), none when there is no NAME.ent. The report gets the
// figure "entityFile": null, or its path, whether it is older and the blocks that differ.
std::vector<LintFinding> CheckEntityFileBeside(const CommandContext& context,
                                               const std::string& mapPath,
                                               std::string_view lumpText, CMapReport& report);

}  // namespace entorra::cli
