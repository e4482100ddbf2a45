#pragma once

// Finding the game's maps in a Steam installation: the Steam roots, the library folders each
// root lists in steamapps/libraryfolders.vdf, and the first of them that holds the maps.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "folders/Platform.h"
#include "folders/SettingsStore.h"

namespace entorra {

inline constexpr const char* kSteamKey = "Software\\Valve\\Steam";
inline constexpr const char* kSteamPathValue = "SteamPath";

// The library folders a libraryfolders.vdf lists, in file order: the current layout (numbered
// blocks with a "path") and the older one (numbered paths). Nothing when the text is not a
// well-formed key-value file.
std::optional<std::vector<std::string>> ParseLibraryFolders(std::string_view text);

// The Steam roots to search: the one the settings name (Windows), then the fixed ones.
std::vector<std::string> SteamRoots(ISettingsStore& store, const PlatformRules& rules);

// The first existing steamapps/common/Half-Life/cstrike/maps of each root and of the libraries
// it lists, as a folder ending with the platform's separator. A missing or broken library
// file costs only its libraries.
std::optional<std::string> FindSteamMapFolder(ISettingsStore& store, const PlatformRules& rules);

}  // namespace entorra
