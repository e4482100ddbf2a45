#include "cli/Operands.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "base/Format.h"
#include "folders/MapList.h"
#include "io/FileIdentity.h"
#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
bool IsSeparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) {
    return c == '/';
}
#endif

void AddFolder(const fs::path& folder, bool recursive, std::vector<std::string>& maps,
               IMessageSink& sink, bool& any) {
    std::string prefix = Utf8FromPath(folder);
    if (!prefix.empty() && !IsSeparator(prefix.back())) {
        prefix += kSeparator;
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
            subfolders.push_back(Utf8FromPath(entries->path().filename()));
        }
    }
    if (error) {
        sink.ShowMessage(Format("Error reading the folder: %s.", Utf8FromPath(folder).c_str()));
    }
    std::sort(subfolders.begin(), subfolders.end(), MapNameLess);
    for (const std::string& name : subfolders) {
        AddFolder(PathFromUtf8(prefix + name), recursive, maps, sink, any);
    }
}

}  // namespace

std::vector<std::string> ExpandOperands(const std::vector<std::string>& operands, bool recursive,
                                        IMessageSink& sink) {
    std::vector<std::string> expanded;
    for (const std::string& operand : operands) {
        std::error_code error;
        if (fs::is_directory(PathFromUtf8(operand), error)) {
            bool any = false;
            AddFolder(PathFromUtf8(operand), recursive, expanded, sink, any);
            if (!any) {
                sink.ShowMessage(Format("No maps in the folder: %s.", operand.c_str()));
            }
        } else {
            expanded.push_back(operand);
        }
    }
    // One operand lists each file once (a folder's entries are unique); from several, a file
    // is known by its identity (device and inode), whatever path names it, or else by its path.
    if (operands.size() <= 1) {
        return expanded;
    }
    std::vector<std::string> maps;
    std::set<FileId> seenFiles;
    std::set<std::string> seenPaths;
    for (std::string& map : expanded) {
        const std::optional<FileId> identity = IdentifyFile(map);
        const bool fresh =
            identity ? seenFiles.insert(*identity).second : seenPaths.insert(map).second;
        if (fresh) {
            maps.push_back(std::move(map));
        }
    }
    return maps;
}

}  // namespace entorra::cli
