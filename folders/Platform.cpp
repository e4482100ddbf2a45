#include "folders/Platform.h"

#include <cstdlib>

#include "io/NativePath.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <unistd.h>
#endif

namespace entorra {
namespace {

// Home joined with a relative path; a home of "/" or with a trailing slash gets no second one.
std::string UnderHome(const std::string& home, const std::string& relative) {
    if (!home.empty() && home.back() == '/') {
        return home + relative;
    }
    return home + "/" + relative;
}

constexpr const char* kSteamMaps = "steamapps/common/Half-Life/cstrike/maps/";

}  // namespace

PlatformRules WindowsRules() {
    PlatformRules rules;
    rules.separator = '\\';
    rules.valueBufferSize = 260;
    rules.valueBufferInUtf16 = true;
    rules.defaultMapFolder = "C:\\Sierra\\Counter-Strike\\cstrike\\maps\\";
    rules.steamRootFromSettings = true;
    rules.steamRoots = {"C:\\Program Files (x86)\\Steam"};
    rules.dumpLogPath = "C:\\AllEntities.txt";
    return rules;
}

PlatformRules LinuxRules(const std::string& home) {
    PlatformRules rules;
    rules.separator = '/';
    rules.valueBufferSize = 4096;  // PATH_MAX
    rules.defaultMapFolder = UnderHome(home, std::string(".local/share/Steam/") + kSteamMaps);
    rules.steamRoots = {
        UnderHome(home, ".steam/steam"),
        UnderHome(home, ".local/share/Steam"),
        UnderHome(home, ".var/app/com.valvesoftware.Steam/.local/share/Steam"),
    };
    rules.dumpLogPath = UnderHome(home, "AllEntities.txt");
    return rules;
}

PlatformRules MacRules(const std::string& home) {
    PlatformRules rules;
    rules.separator = '/';
    rules.valueBufferSize = 1024;  // PATH_MAX
    rules.defaultMapFolder =
        UnderHome(home, std::string("Library/Application Support/Steam/") + kSteamMaps);
    rules.steamRoots = {UnderHome(home, "Library/Application Support/Steam")};
    rules.dumpLogPath = UnderHome(home, "AllEntities.txt");
    return rules;
}

PlatformRules CurrentPlatformRules() {
#if defined(_WIN32)
    return WindowsRules();
#elif defined(__APPLE__)
    return MacRules(HomeFolder());
#else
    return LinuxRules(HomeFolder());
#endif
}

std::string HomeFolder() {
#if defined(_WIN32)
    // The wide environment: the narrow one holds the ANSI code page's approximation.
    const wchar_t* profile = _wgetenv(L"USERPROFILE");
    return profile != nullptr ? Utf8FromWide(profile) : "";
#else
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "";
#endif
}

}  // namespace entorra
