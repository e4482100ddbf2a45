#pragma once

// What differs between the platforms in finding, naming and remembering folders. Tests build
// the rules of any platform on any machine.

#include <cstddef>
#include <string>
#include <vector>

namespace entorra {

struct PlatformRules {
    // Ends every folder the program forms.
    char separator = '/';
    // What a settings value may take together with its terminating NUL: the 260-character read
    // buffer on Windows (at most 259 characters), the platform's path limit in bytes elsewhere.
    std::size_t valueBufferSize = 4096;
    // Whether valueBufferSize counts UTF-16 characters, as Windows counts MAX_PATH, rather than
    // the bytes of the UTF-8 text: a name outside ASCII takes more bytes than characters.
    bool valueBufferInUtf16 = false;
    // The last resort of folder discovery.
    std::string defaultMapFolder;
    // On Windows the Steam installation comes from the settings store ("SteamPath").
    bool steamRootFromSettings = false;
    // Steam installations searched (after the one from the settings), in this order.
    std::vector<std::string> steamRoots;
    // Where the entity dump log is written.
    std::string dumpLogPath;
};

PlatformRules WindowsRules();
PlatformRules LinuxRules(const std::string& home);
PlatformRules MacRules(const std::string& home);

// The rules of the platform this program was built for, with the user's home folder.
PlatformRules CurrentPlatformRules();

// $HOME, else the user's entry in the password database; empty when neither names one.
std::string HomeFolder();

}  // namespace entorra
