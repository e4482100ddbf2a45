#pragma once

// The maps a command's operands name.

#include <string>
#include <vector>

#include "base/MessageSink.h"

namespace entorra::cli {

// Maps and folders to maps: a folder gives its *.bsp files (matched without regard to case,
// sorted), with `recursive` those of its subfolders too, each folder's maps before its
// subfolders'. Other operands are taken as maps in the order given, so that one that does not
// exist fails as a map. The same file named twice is worked on once. A folder without maps is
// said once, through sink.
std::vector<std::string> ExpandOperands(const std::vector<std::string>& operands, bool recursive,
                                        IMessageSink& sink);

}  // namespace entorra::cli
