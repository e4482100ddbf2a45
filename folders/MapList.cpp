#include "folders/MapList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "io/NativePath.h"

namespace entorra {
namespace {

unsigned char Folded(char character) {
    const auto byte = static_cast<unsigned char>(character);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

#if defined(_WIN32)
constexpr const char* kPatternSeparators = "\\/:";
#else
constexpr const char* kPatternSeparators = "/";
#endif

}  // namespace

std::string MapPattern(const std::string& mapFolder) {
    return mapFolder + "*.bsp";
}

std::string MapPath(const std::string& mapFolder, const std::string& mapName) {
    return mapFolder + mapName;
}

bool MapNameLess(std::string_view left, std::string_view right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (Folded(left[i]) != Folded(right[i])) {
            return Folded(left[i]) < Folded(right[i]);
        }
    }
    if (left.size() != right.size()) {
        return left.size() < right.size();
    }
    return left < right;
}

bool MatchesWildcard(std::string_view name, std::string_view wildcard) {
    // Greedy with one backtrack point: the last * seen absorbs one more character on mismatch.
    std::size_t n = 0;
    std::size_t w = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (w < wildcard.size() &&
            (wildcard[w] == '?' ||
             (wildcard[w] != '*' && Folded(wildcard[w]) == Folded(name[n])))) {
            ++n;
            ++w;
        } else if (w < wildcard.size() && wildcard[w] == '*') {
            starAt = w++;
            starName = n;
        } else if (starAt != std::string_view::npos) {
            w = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (w < wildcard.size() && wildcard[w] == '*') {
        ++w;
    }
    return w == wildcard.size();
}

std::vector<std::string> ListMapFiles(const std::string& mapPattern) {
    namespace fs = std::filesystem;
    const std::size_t separator = mapPattern.find_last_of(kPatternSeparators);
    const std::string folder =
        separator == std::string::npos ? std::string(".") : mapPattern.substr(0, separator + 1);
    const std::string wildcard =
        separator == std::string::npos ? mapPattern : mapPattern.substr(separator + 1);

    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entries(PathFromUtf8(folder), error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::string name = Utf8FromPath(entries->path().filename());
        std::error_code typeError;
        if (MatchesWildcard(name, wildcard) && entries->is_regular_file(typeError)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), MapNameLess);
    return names;
}

std::optional<std::string> BrowseForMapFolder(IFolderPicker& picker, const std::string& mapFolder,
                                              char separator) {
    std::error_code error;
    const bool folderExists =
        !mapFolder.empty() && std::filesystem::is_directory(PathFromUtf8(mapFolder), error);
    std::optional<std::string> chosen =
        picker.SelectFolder(kFolderPrompt, folderExists ? mapFolder : std::string());
    if (!chosen) {
        return std::nullopt;
    }
    chosen->push_back(separator);
    return chosen;
}

}  // namespace entorra
