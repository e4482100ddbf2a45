#pragma once

// Where the maps are: the folder is decided once at start from this program's own setting,
// the game's install entries, a Steam installation or a fixed default, and stored at close.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/MessageSink.h"
#include "folders/Platform.h"
#include "folders/SettingsStore.h"

namespace entorra {

inline constexpr const char* kOwnSettingsKey = "Software\\Quorvale\\Entorra\\Settings";
inline constexpr const char* kCounterStrikeKey = "Software\\Valve\\CounterStrike";
inline constexpr const char* kHalfLifeKey = "Software\\Valve\\Half-life";
inline constexpr const char* kInstallPathValue = "InstallPath";

inline constexpr const char* kFirstRunWarning =
    "WARNING!\n\nThis program makes PERMANENT changes to your map files.\nBack Up all of your "
    ".bsp files before making changes to them.";

// Reads a string value into text. True exactly when the value exists, its data fits into a
// buffer of bufferSize bytes (UTF-16 characters with inUtf16) and its text (the data up to the
// first NUL) fits there together with a terminating NUL. text is left alone on failure.
bool ReadRegistryString(ISettingsStore& store, SettingsRoot root, std::string_view keyPath,
                        std::string_view valueName, std::string& text, std::size_t bufferSize,
                        bool inUtf16 = false);

// What a game install folder gets appended: "\cstrike\maps\" in the platform's separator,
// added without looking at how the install folder ends.
std::string GameMapsSuffix(char separator);

enum class MapFolderSource { OwnSetting, CounterStrike, HalfLife, Steam, Default };

struct FoundMapFolder {
    std::string folder;
    MapFolderSource source = MapFolderSource::Default;
};

// Decides the map folder. The program's own value is taken exactly as stored; when it cannot
// be read the first-run warning goes to sink and the other sources are tried in turn. No
// folder is checked for existence except the Steam candidates.
FoundMapFolder FindMapFolder(ISettingsStore& store, IMessageSink& sink, const PlatformRules& rules);

// Writes the folder to the program's own value, creating its key when needed. Reports
// nothing: when the store refuses, the stored value stays as it was.
void StoreMapFolder(ISettingsStore& store, const std::string& mapFolder);

}  // namespace entorra
