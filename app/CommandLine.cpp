#include "app/CommandLine.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "diagnostics/EntityDumpLog.h"
#include "folders/MapList.h"

namespace entorra {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    // After "--" every argument is a name, even one that begins with "-d".
    const auto end = std::find(arguments.begin(), arguments.end(), std::string("--"));
    line.dumpSwitch = DumpSwitchGiven(std::vector<std::string>(arguments.begin(), end));
    bool switches = true;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (switches && argument == "--") {
            switches = false;
            continue;
        }
        if (switches && !argument.empty() && argument.front() == '-') {
            continue;
        }
        if (!line.target) {
            line.target = argument;
        }
    }
    return line;
}

StartTarget ResolveStartTarget(const std::string& target, char separator) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = fs::absolute(fs::path(target), error);
    if (error) {
        path = fs::path(target);
    }
    path = path.lexically_normal();

    const auto withSeparator = [separator](std::string folder) {
        if (folder.empty() || (folder.back() != separator && folder.back() != '/')) {
            folder += separator;
        }
        return folder;
    };

    const bool isFolder = fs::is_directory(path, error);
    const bool isFile = !isFolder && fs::exists(path, error);
    if (isFolder || (!isFile && !MatchesWildcard(path.filename().string(), "*.bsp"))) {
        return {withSeparator(path.string()), std::nullopt};
    }
    return {withSeparator(path.parent_path().string()), path.filename().string()};
}

}  // namespace entorra
