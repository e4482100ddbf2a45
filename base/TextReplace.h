#pragma once

#include <string>
#include <string_view>

namespace entorra {

// Replaces every occurrence of `from`, left to right and never overlapping; text inserted is
// not scanned again. An empty `from` replaces nothing. Returns the number of replacements.
int ReplaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace entorra
