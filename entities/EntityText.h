#pragma once

// The editor form of a map's entity text: CR LF line ends, ending with the last "}" and one
// CR LF. The way back to file form belongs to the map file (bsp/FileText.h).

#include <string>
#include <string_view>

namespace entorra {

// Entity text as read from a map, turned into what the editor shows.
std::string MakeEditorText(std::string_view entityText);

}  // namespace entorra
