#pragma once

// The checks of entorra-cli check on a map file's bytes: the header, every lump inside the file
// and clear of the header and of the others, the entity lump's NUL, the layout a save would
// keep, lump alignment. Findings about the file have line 0.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "entities/EntityLint.h"

namespace entorra::cli {

struct MapFileCheck {
    std::vector<LintFinding> findings;
    // The entity text (up to its NUL), when it lies inside the file.
    std::optional<std::string_view> entityText;
    // Notes that are no fault: the save layout the map gets.
    std::vector<std::string> notes;
};

MapFileCheck CheckMapFile(std::span<const std::uint8_t> image);

}  // namespace entorra::cli
