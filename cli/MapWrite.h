#pragma once

// The write step shared by import and delete-all: a dry run, or a backup and the map file
// object's Save, reported with the map checksum before and after.

#include <string>

#include "bsp/BspFile.h"
#include "cli/Batch.h"
#include "cli/Commands.h"

namespace entorra::cli {

// Saves editorText into the loaded file at map, as the dialog's Save does. Adds to the report
// the figures checksumBefore, checksumAfter, entityBytesBefore, entityBytesAfter, written,
// backup, and one text line. With options.dryRun the save is planned, not done.
void WriteMap(const CommandContext& context, CBspFile& file, const std::string& map,
              std::string editorText, const WriteOptions& options, CMapReport& report);

}  // namespace entorra::cli
