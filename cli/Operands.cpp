#include "cli/Operands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <utility>

#include "base/Format.h"
#include "folders/MapList.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

void AddFolder(const fs::path& folder, bool recursive, std::vector<std::string>& maps,
               IMessageSink& sink, bool& any) {
    std::string prefix = folder.string();
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    for (const std::string& name : ListMapFiles(MapPattern(prefix))) {
        maps.push_back(MapPath(prefix, name));
        any = true;
    }
    if (!recursive) {
        return;
    }
    // Subfolders in the map list's order; links to folders are not followed, so no loop.
    std::vector<std::string> subfolders;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_directory(typeError) && !entries->is_symlink(typeError)) {
            subfolders.push_back(entries->path().filename().string());
        }
    }
    if (error) {
        sink.ShowMessage(Format("Error reading the folder: %s.", folder.string().c_str()));
    }
    std::sort(subfolders.begin(), subfolders.end(), MapNameLess);
    for (const std::string& name : subfolders) {
        AddFolder(prefix + name, recursive, maps, sink, any);
    }
}

}  // namespace

std::vector<std::string> ExpandOperands(const std::vector<std::string>& operands, bool recursive,
                                        IMessageSink& sink) {
    std::vector<std::string> expanded;
    for (const std::string& operand : operands) {
        std::error_code error;
        if (fs::is_directory(operand, error)) {
            bool any = false;
            AddFolder(operand, recursive, expanded, sink, any);
            if (!any) {
                sink.ShowMessage(Format("No maps in the folder: %s.", operand.c_str()));
            }
        } else {
            expanded.push_back(operand);
        }
    }
    // One operand lists each file once (a folder's entries are unique); from several, a file
    // is known by its device and inode, whatever path names it, or else by its path.
    if (operands.size() <= 1) {
        return expanded;
    }
    std::vector<std::string> maps;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seenFiles;
    std::set<std::string> seenPaths;
    for (std::string& map : expanded) {
        struct stat status {};
        const bool fresh = ::stat(map.c_str(), &status) == 0
                               ? seenFiles
                                     .emplace(static_cast<std::uint64_t>(status.st_dev),
                                              static_cast<std::uint64_t>(status.st_ino))
                                     .second
                               : seenPaths.insert(map).second;
        if (fresh) {
            maps.push_back(std::move(map));
        }
    }
    return maps;
}

}  // namespace entorra::cli
