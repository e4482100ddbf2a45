#pragma once

// The two forms of a map's entity text: file form (LF line ends, NUL after the text) and
// editor form (CR LF line ends, ending with the last "}" and one CR LF).

#include <string>
#include <string_view>

namespace entorra {

// Replaces every occurrence of `from`, left to right and never overlapping; text inserted is
// not scanned again. An empty `from` replaces nothing. Returns the number of replacements.
int ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Entity text as read from a map, turned into what the editor shows.
std::string MakeEditorText(std::string_view entityText);

// Editor text turned, in place, into what a save writes into the entity lump (without its NUL).
void PrepareFileText(std::string& editorText);

}  // namespace entorra
