#pragma once

// The program's command line: entorra [-d] [FOLDER | MAP.bsp]

#include <optional>
#include <string>
#include <vector>

namespace entorra {

struct CommandLine {
    bool dumpSwitch = false;
    std::optional<std::string> target;  // the first argument that is not a switch
};

// arguments[0] is the program's own path.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

struct StartTarget {
    std::string folder;                  // absolute, ending with the separator
    std::optional<std::string> mapName;  // a map in that folder to show
};

// A folder becomes the map folder; a map (an existing file, or a name ending in ".bsp")
// names its folder and itself.
StartTarget ResolveStartTarget(const std::string& target, char separator);

}  // namespace entorra
