#include "folders/SteamLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "folders/MapFolder.h"
#include "io/NativePath.h"

namespace entorra {
namespace {

// Real library files are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxLibraryFileSize = 4u << 20;
// Deeper nesting than any real file has; keeps hostile files from exhausting the stack.
constexpr int kMaxDepth = 32;

// One node of a key-value file: a string or a block of named nodes.
struct KeyValue {
    std::string key;
    bool isBlock = false;
    std::string text;
    std::vector<KeyValue> children;
};

// Valve's key-value text: quoted or bare tokens, { } blocks, // comments and [$PLATFORM]
// conditions after a token, which are skipped.
class CKeyValueParser {
public:
    explicit CKeyValueParser(std::string_view text) : m_text(text) {
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF") {
            m_text.remove_prefix(3);
        }
    }

    bool ParseDocument(std::vector<KeyValue>& nodes) { return ParseBlock(nodes, 0, false); }

private:
    enum class Token { End, Open, Close, Text, Bad };

    bool ParseBlock(std::vector<KeyValue>& nodes, int depth, bool inBraces) {
        for (;;) {
            std::string key;
            const Token first = Next(key);
            if (first == Token::End) {
                return !inBraces;
            }
            if (first == Token::Close) {
                return inBraces;
            }
            if (first != Token::Text) {
                return false;
            }
            KeyValue node;
            node.key = std::move(key);
            const Token second = Next(node.text);
            if (second == Token::Open) {
                if (depth + 1 > kMaxDepth) {
                    return false;
                }
                node.isBlock = true;
                if (!ParseBlock(node.children, depth + 1, true)) {
                    return false;
                }
            } else if (second != Token::Text) {
                return false;
            }
            nodes.push_back(std::move(node));
        }
    }

    void SkipSpaceAndComments() {
        for (;;) {
            while (m_nPos < m_text.size() &&
                   std::isspace(static_cast<unsigned char>(m_text[m_nPos])) != 0) {
                ++m_nPos;
            }
            if (m_text.substr(m_nPos, 2) == "//") {
                const std::size_t lineEnd = m_text.find('\n', m_nPos);
                m_nPos = lineEnd == std::string_view::npos ? m_text.size() : lineEnd + 1;
            } else if (m_nPos < m_text.size() && m_text[m_nPos] == '[') {
                const std::size_t close = m_text.find(']', m_nPos);
                if (close == std::string_view::npos) {
                    return;
                }
                m_nPos = close + 1;
            } else {
                return;
            }
        }
    }

    Token Next(std::string& text) {
        text.clear();
        SkipSpaceAndComments();
        if (m_nPos >= m_text.size()) {
            return Token::End;
        }
        const char first = m_text[m_nPos];
        if (first == '{' || first == '}') {
            ++m_nPos;
            return first == '{' ? Token::Open : Token::Close;
        }
        if (first == '[') {
            return Token::Bad;  // a condition that is never closed
        }
        if (first != '"') {
            while (m_nPos < m_text.size()) {
                const char c = m_text[m_nPos];
                if (std::isspace(static_cast<unsigned char>(c)) != 0 || c == '{' || c == '}' ||
                    c == '"') {
                    break;
                }
                text.push_back(c);
                ++m_nPos;
            }
            return Token::Text;
        }
        ++m_nPos;
        while (m_nPos < m_text.size()) {
            const char c = m_text[m_nPos++];
            if (c == '"') {
                return Token::Text;
            }
            if (c == '\\' && m_nPos < m_text.size()) {
                const char escaped = m_text[m_nPos++];
                switch (escaped) {
                    case '\\':
                    case '"':
                        text.push_back(escaped);
                        break;
                    case 'n':
                        text.push_back('\n');
                        break;
                    case 't':
                        text.push_back('\t');
                        break;
                    default:
                        text.push_back('\\');
                        text.push_back(escaped);
                        break;
                }
            } else {
                text.push_back(c);
            }
        }
        return Token::Bad;  // the quote is never closed
    }

    std::string_view m_text;
    std::size_t m_nPos = 0;
};

bool IsNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

bool UsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos &&
           PathFromUtf8(path).is_absolute();
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = PathFromUtf8(path);
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxLibraryFileSize) {
        return std::nullopt;
    }
    std::ifstream input(file, std::ios::binary);
    if (!input) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    if (input.bad()) {
        return std::nullopt;
    }
    return text;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::optional<std::vector<std::string>> ParseLibraryFolders(std::string_view text) {
    std::vector<KeyValue> document;
    if (!CKeyValueParser(text).ParseDocument(document)) {
        return std::nullopt;
    }
    std::vector<std::string> libraries;
    for (const KeyValue& root : document) {
        if (!root.isBlock || !SettingsNamesEqual(root.key, "libraryfolders")) {
            continue;
        }
        for (const KeyValue& entry : root.children) {
            if (!IsNumber(entry.key)) {
                continue;
            }
            if (!entry.isBlock) {
                libraries.push_back(entry.text);
                continue;
            }
            for (const KeyValue& field : entry.children) {
                if (!field.isBlock && SettingsNamesEqual(field.key, "path")) {
                    libraries.push_back(field.text);
                    break;
                }
            }
        }
    }
    return libraries;
}

std::vector<std::string> SteamRoots(ISettingsStore& store, const PlatformRules& rules) {
    std::vector<std::string> roots;
    std::string steamPath;
    if (rules.steamRootFromSettings &&
        ReadRegistryString(store, SettingsRoot::CurrentUser, kSteamKey, kSteamPathValue, steamPath,
                           rules.valueBufferSize, rules.valueBufferInUtf16)) {
        roots.push_back(steamPath);
    }
    roots.insert(roots.end(), rules.steamRoots.begin(), rules.steamRoots.end());
    return roots;
}

std::optional<std::string> FindSteamMapFolder(ISettingsStore& store, const PlatformRules& rules) {
    for (const std::string& root : SteamRoots(store, rules)) {
        if (!UsablePath(root)) {
            continue;
        }
        std::vector<std::string> libraries{root};
        if (auto text =
                ReadSmallFile(WithoutTrailingSlashes(root) + "/steamapps/libraryfolders.vdf")) {
            if (auto listed = ParseLibraryFolders(*text)) {
                libraries.insert(libraries.end(), listed->begin(), listed->end());
            }
        }
        for (const std::string& library : libraries) {
            if (!UsablePath(library)) {
                continue;
            }
            std::string maps =
                WithoutTrailingSlashes(library) + "/steamapps/common/Half-Life/cstrike/maps";
            std::error_code error;
            if (!std::filesystem::is_directory(PathFromUtf8(maps), error)) {
                continue;
            }
            if (rules.separator != '/') {
                std::replace(maps.begin(), maps.end(), '/', rules.separator);
            }
            maps.push_back(rules.separator);
            return maps;
        }
    }
    return std::nullopt;
}

}  // namespace entorra
