#pragma once

// The map list and the folder picker behind Browse.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace entorra {

inline constexpr const char* kFolderPrompt = "Select a folder that contains bsp files.";

// The map folder followed by "*.bsp".
std::string MapPattern(const std::string& mapFolder);

// A map's full path: the map folder and the name joined with nothing between them, so a folder
// stored without its trailing separator gives what it gives.
std::string MapPath(const std::string& mapFolder, const std::string& mapName);

// The map list for a pattern: the regular files of the folder the pattern names (the part up to
// its last separator; the current folder when there is none) whose names match the rest, a
// wildcard of * and ?, without regard to letter case. Hidden files are listed; folders and
// files inside them are not. Sorted by MapNameLess. Empty when the folder cannot be read.
std::vector<std::string> ListMapFiles(const std::string& mapPattern);

// Alphabetical without regard to letter case; names that differ only in case by byte order.
bool MapNameLess(std::string_view left, std::string_view right);

// Whether name matches a wildcard of * and ?, letters compared without regard to case.
bool MatchesWildcard(std::string_view name, std::string_view wildcard);

class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;
    // Runs the modal folder chooser with the prompt, opening at startFolder unless it is empty.
    // The chosen folder's full path; nothing when cancelled or when the choice has no path in
    // the file system.
    virtual std::optional<std::string> SelectFolder(const std::string& prompt,
                                                    const std::string& startFolder) = 0;
};

// The choice of Browse: the picked folder with the separator appended in every case, also
// after a drive root or "/" that already ends with one. Nothing when the picker was cancelled.
// The picker opens in the current map folder when it exists.
std::optional<std::string> BrowseForMapFolder(IFolderPicker& picker, const std::string& mapFolder,
                                              char separator);

}  // namespace entorra
