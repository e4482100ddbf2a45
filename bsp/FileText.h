#pragma once

// The way back from the editor's form of the entity text to the form a save writes.

#include <string>

namespace entorra {

// Editor text turned, in place, into what a save writes into the entity lump (without its NUL):
// LF line ends, the span from the first "{" to the last "}", one LF appended.
void PrepareFileText(std::string& editorText);

}  // namespace entorra
