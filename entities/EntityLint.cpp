#include "entities/EntityLint.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/Format.h"

namespace entorra {
namespace {

struct Token {
    enum Kind { Open, Close, Quoted, Bare };
    Kind kind = Bare;
    std::string_view text;
    int line = 0;
    // Lines as the pair rule sees them: a lone CR ends one too, as it does in the editor.
    int row = 0;
    bool unterminated = false;
};

class CFindings {
public:
    // One error per line is enough to point at it; a second one is mostly its echo.
    void Error(int line, std::string message) {
        if (!m_errorLines.insert(line).second) {
            return;
        }
        m_findings.push_back({line, LintSeverity::Error, std::move(message)});
    }
    void Warning(int line, std::string message) {
        m_findings.push_back({line, LintSeverity::Warning, std::move(message)});
    }
    std::vector<LintFinding> Sorted() {
        std::stable_sort(
            m_findings.begin(), m_findings.end(),
            [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
        return std::move(m_findings);
    }

private:
    std::vector<LintFinding> m_findings;
    std::set<int> m_errorLines;
};

// Splits the text as the engine's tokeniser does: whitespace and // comments between tokens,
// braces as tokens of their own, quoted strings, bare words. A quote left open at the end of
// its line is cut there, so that one typo does not swallow the rest of the text.
std::vector<Token> Tokenise(std::string_view text, CFindings& findings) {
    std::vector<Token> tokens;
    std::size_t at = 0;
    int line = 1;
    int row = 1;
    const std::size_t size = text.size();
    while (at < size) {
        const char c = text[at];
        if (c == '\0') {
            findings.Error(line, "NUL byte inside the text: a map's entity text ends here");
            break;
        }
        if (c == '\n') {
            ++line;
            ++row;
            ++at;
            continue;
        }
        if (c == '\r' && (at + 1 == size || text[at + 1] != '\n')) {
            ++row;
            ++at;
            continue;
        }
        if (static_cast<unsigned char>(c) <= ' ') {
            ++at;
            continue;
        }
        if (c == '/' && at + 1 < size && text[at + 1] == '/') {
            while (at < size && text[at] != '\n' && text[at] != '\0') {
                ++at;
            }
            continue;
        }
        Token token;
        token.line = line;
        token.row = row;
        if (c == '{' || c == '}') {
            token.kind = c == '{' ? Token::Open : Token::Close;
            token.text = text.substr(at, 1);
            ++at;
        } else if (c == '"') {
            token.kind = Token::Quoted;
            const std::size_t begin = at + 1;
            std::size_t end = begin;
            while (end < size && text[end] != '"' && text[end] != '\n' && text[end] != '\0' &&
                   !(text[end] == '\r' && (end + 1 == size || text[end + 1] != '\n'))) {
                ++end;
            }
            if (end < size && text[end] == '"') {
                token.text = text.substr(begin, end - begin);
                at = end + 1;
            } else {
                token.unterminated = true;
                std::size_t cut = end;
                if (cut > begin && text[cut - 1] == '\r') {
                    --cut;
                }
                token.text = text.substr(begin, cut - begin);
                at = end;
                findings.Error(line, "unterminated quote");
            }
        } else {
            token.kind = Token::Bare;
            const std::size_t begin = at;
            while (at<size&& static_cast<unsigned char>(text[at])> ' ' && text[at] != '"' &&
                   text[at] != '{' && text[at] != '}') {
                ++at;
            }
            token.text = text.substr(begin, at - begin);
        }
        tokens.push_back(token);
    }
    return tokens;
}

}  // namespace

const char* LintSeverityName(LintSeverity severity) {
    switch (severity) {
        case LintSeverity::Error:
            return "error";
        case LintSeverity::Warning:
            return "warning";
        case LintSeverity::Information:
            break;
    }
    return "information";
}

const std::string* ParsedEntity::Find(std::string_view key) const {
    for (const EntityKeyValue& pair : keys) {
        if (pair.key == key) {
            return &pair.value;
        }
    }
    return nullptr;
}

std::string ParsedEntity::ValueOf(std::string_view key) const {
    const std::string* value = Find(key);
    return value != nullptr ? *value : std::string();
}

int CountFindings(const std::vector<LintFinding>& findings, LintSeverity severity) {
    return static_cast<int>(std::count_if(
        findings.begin(), findings.end(),
        [severity](const LintFinding& finding) { return finding.severity == severity; }));
}

ParsedEntityText ParseEntityText(std::string_view text) {
    CFindings findings;
    const std::vector<Token> tokens = Tokenise(text, findings);
    ParsedEntityText parsed;

    bool inBlock = false;
    std::map<std::string, int, std::less<>> firstLineOfKey;
    const auto close = [&](bool checkClass) {
        const ParsedEntity& entity = parsed.entities.back();
        if (checkClass && entity.Find("classname") == nullptr) {
            findings.Error(entity.line, "block without \"classname\"");
        }
        inBlock = false;
        firstLineOfKey.clear();
    };
    const auto open = [&](int line) {
        parsed.entities.push_back({line, {}});
        inBlock = true;
    };
    // Skips the rest of the line of tokens[i] up to a brace, which still opens or closes.
    const auto skipLine = [&](std::size_t i) {
        const int row = tokens[i].row;
        ++i;
        while (i < tokens.size() && tokens[i].row == row && tokens[i].kind != Token::Open &&
               tokens[i].kind != Token::Close) {
            ++i;
        }
        return i;
    };

    std::size_t i = 0;
    while (i < tokens.size()) {
        const Token& token = tokens[i];
        if (!inBlock) {
            if (token.kind == Token::Open) {
                open(token.line);
            } else if (token.kind == Token::Close) {
                findings.Error(token.line, "unbalanced braces: \"}\" without an opening \"{\"");
            } else {
                findings.Error(token.line, "text outside any block");
            }
            ++i;
            continue;
        }
        if (token.kind == Token::Close) {
            close(true);
            ++i;
            continue;
        }
        if (token.kind == Token::Open) {
            findings.Error(token.line,
                           Format("unbalanced braces: \"{\" inside the block opened at line %d",
                                  parsed.entities.back().line));
            close(false);
            open(token.line);
            ++i;
            continue;
        }
        // A pair: two quoted strings, closed, alone on their line.
        const bool pair = token.kind == Token::Quoted && !token.unterminated &&
                          i + 1 < tokens.size() && tokens[i + 1].kind == Token::Quoted &&
                          !tokens[i + 1].unterminated && tokens[i + 1].row == token.row &&
                          (i + 2 >= tokens.size() || tokens[i + 2].row != token.row ||
                           tokens[i + 2].kind == Token::Close);
        if (!pair) {
            findings.Error(token.line, "not a \"key\" \"value\" pair");
            i = skipLine(i);
            continue;
        }
        const std::string key(token.text);
        const auto [first, inserted] = firstLineOfKey.try_emplace(key, token.line);
        if (!inserted) {
            findings.Warning(token.line,
                             Format("duplicate key \"%s\" in one block (first at line %d)",
                                    key.c_str(), first->second));
        }
        parsed.entities.back().keys.push_back({key, std::string(tokens[i + 1].text), token.line});
        i += 2;
    }
    if (inBlock) {
        findings.Error(parsed.entities.back().line,
                       "unbalanced braces: the block opened here has no \"}\"");
    }
    parsed.findings = findings.Sorted();
    return parsed;
}

}  // namespace entorra
