#pragma once

// Find, then Find Next again and again, on a text that does not change: the blocks they select
// one after another, as the command-line tool lists them.

#include <string_view>
#include <vector>

#include "entities/EntityEditor.h"

namespace entorra {

// The selections Find and the Find Next after it make on the editor's text, in order, until a
// search finds nothing or selects the first block again. Each search goes on from where the
// previous one stopped, so the run reads the text about once however many blocks match. The
// search string ends at a NUL byte, as the combo box's text would.
std::vector<TextSelection> FindSelections(std::string_view searchString,
                                          std::string_view editorText);

}  // namespace entorra
