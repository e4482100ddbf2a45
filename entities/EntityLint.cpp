#include "entities/EntityLint.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

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

// Who found an error: what the tokeniser finds (a broken quote, a NUL) is the cause of what
// the parser then finds on that line.
enum class Finder : std::uint8_t { None, Parser, Tokeniser };

class CFindings {
public:
    explicit CFindings(bool keep) : m_bKeep(keep) {}

    bool Keeping() const { return m_bKeep; }

    // One error per line is enough to point at it; a second one is mostly its echo. The
    // message is made only when it is kept: a broken text may ask millions of times.
    template <typename MakeMessage>
    void Error(int line, Finder finder, MakeMessage&& makeMessage) {
        if (!m_bKeep) {
            return;
        }
        const auto index = static_cast<std::size_t>(line);
        if (index >= m_finderOfLine.size()) {
            m_finderOfLine.resize(std::max(index + 1, m_finderOfLine.size() * 2), Finder::None);
        }
        Finder& already = m_finderOfLine[index];
        if (already == Finder::None) {
            already = finder;
            m_findings.push_back({line, LintSeverity::Error, std::string(makeMessage())});
        } else if (already == Finder::Parser && finder == Finder::Tokeniser) {
            // The tokeniser runs a few tokens ahead of the parser only, so the parser's error
            // on this line is among the last findings.
            already = finder;
            for (auto it = m_findings.rbegin(); it != m_findings.rend(); ++it) {
                if (it->line == line && it->severity == LintSeverity::Error) {
                    it->message = makeMessage();
                    break;
                }
            }
        }
    }
    void Error(int line, Finder finder, const char* message) {
        Error(line, finder, [message] { return message; });
    }
    void Warning(int line, std::string message) {
        if (m_bKeep) {
            m_findings.push_back({line, LintSeverity::Warning, std::move(message)});
        }
    }
    // About the text as a whole: not a line's error, so never merged with one.
    void WholeText(const char* message) {
        if (m_bKeep) {
            m_findings.push_back({0, LintSeverity::Error, message});
        }
    }
    std::vector<LintFinding> Sorted() {
        std::stable_sort(
            m_findings.begin(), m_findings.end(),
            [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
        return std::move(m_findings);
    }

private:
    bool m_bKeep;
    std::vector<LintFinding> m_findings;
    std::vector<Finder> m_finderOfLine;
};

bool IsLoneCr(std::string_view text, std::size_t at) {
    return text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n');
}

// Splits the text as the engine's tokeniser does: whitespace and // comments between tokens,
// braces as tokens of their own, quoted strings, bare words. A quote left open at the end of
// its line is cut there, so that one typo does not swallow the rest of the text. Stops at a NUL.
class CTokeniser {
public:
    CTokeniser(std::string_view text, CFindings& findings) : m_text(text), m_findings(findings) {}

    bool Next(Token& token) {
        const std::string_view text = m_text;
        const std::size_t size = text.size();
        while (m_at < size) {
            const char c = text[m_at];
            if (c == '\0') {
                m_findings.Error(m_nLine, Finder::Tokeniser,
                                 "NUL byte inside the text: a map's entity text ends here");
                m_at = size;
                break;
            }
            if (c == '\n') {
                ++m_nLine;
                ++m_nRow;
                ++m_at;
                continue;
            }
            if (IsLoneCr(text, m_at)) {
                ++m_nRow;
                ++m_at;
                continue;
            }
            if (static_cast<unsigned char>(c) <= ' ') {
                ++m_at;
                continue;
            }
            if (c == '/' && m_at + 1 < size && text[m_at + 1] == '/') {
                while (m_at < size && text[m_at] != '\n' && text[m_at] != '\0') {
                    ++m_at;
                }
                continue;
            }
            token = Token{};
            token.line = m_nLine;
            token.row = m_nRow;
            if (c == '{' || c == '}') {
                token.kind = c == '{' ? Token::Open : Token::Close;
                token.text = text.substr(m_at, 1);
                ++m_at;
            } else if (c == '"') {
                Quoted(token);
            } else {
                token.kind = Token::Bare;
                const std::size_t begin = m_at;
                while (m_at<size&& static_cast<unsigned char>(text[m_at])> ' ' &&
                       text[m_at] != '"' && text[m_at] != '{' && text[m_at] != '}') {
                    ++m_at;
                }
                token.text = text.substr(begin, m_at - begin);
            }
            return true;
        }
        return false;
    }

private:
    void Quoted(Token& token) {
        const std::string_view text = m_text;
        const std::size_t size = text.size();
        token.kind = Token::Quoted;
        const std::size_t begin = m_at + 1;
        std::size_t end = begin;
        while (end < size && text[end] != '"' && text[end] != '\n' && text[end] != '\0' &&
               !IsLoneCr(text, end)) {
            ++end;
        }
        if (end < size && text[end] == '"') {
            token.text = text.substr(begin, end - begin);
            m_at = end + 1;
            return;
        }
        token.unterminated = true;
        std::size_t cut = end;
        if (cut > begin && text[cut - 1] == '\r') {
            --cut;
        }
        token.text = text.substr(begin, cut - begin);
        m_at = end;
        m_findings.Error(m_nLine, Finder::Tokeniser, "unterminated quote");
    }

    std::string_view m_text;
    CFindings& m_findings;
    std::size_t m_at = 0;
    int m_nLine = 1;
    int m_nRow = 1;
};

// The few tokens the parser looks ahead, without keeping the text's tokens.
class CTokenWindow {
public:
    explicit CTokenWindow(CTokeniser& tokeniser) : m_tokeniser(tokeniser) {}

    // The token k places ahead (k < 3), or null past the end.
    const Token* Peek(std::size_t k) {
        while (m_nCount <= k && !m_bEnded) {
            if (m_tokeniser.Next(m_tokens[(m_nFirst + m_nCount) % m_tokens.size()])) {
                ++m_nCount;
            } else {
                m_bEnded = true;
            }
        }
        return k < m_nCount ? &m_tokens[(m_nFirst + k) % m_tokens.size()] : nullptr;
    }

    void Pop() {
        m_nFirst = (m_nFirst + 1) % m_tokens.size();
        --m_nCount;
    }

private:
    CTokeniser& m_tokeniser;
    std::array<Token, 3> m_tokens;
    std::size_t m_nFirst = 0;
    std::size_t m_nCount = 0;
    bool m_bEnded = false;
};

class CParser {
public:
    CParser(std::string_view text, bool keepBlocks, bool keepFindings)
        : m_text(text), m_bKeepBlocks(keepBlocks), m_findings(keepFindings) {}

    ParsedEntityText Run() {
        if (m_bKeepBlocks) {
            Reserve();
        }
        CTokeniser tokeniser(m_text, m_findings);
        CTokenWindow window(tokeniser);
        while (const Token* next = window.Peek(0)) {
            const Token token = *next;
            if (!m_bInBlock) {
                if (token.kind == Token::Open) {
                    Open(token.line);
                } else if (token.kind == Token::Close) {
                    m_findings.Error(token.line, Finder::Parser,
                                     "unbalanced braces: \"}\" without an opening \"{\"");
                } else {
                    m_findings.Error(token.line, Finder::Parser, "text outside any block");
                }
                window.Pop();
                continue;
            }
            if (token.kind == Token::Close) {
                Close(true);
                window.Pop();
                continue;
            }
            if (token.kind == Token::Open) {
                m_findings.Error(token.line, Finder::Parser, [&] {
                    return Format("unbalanced braces: \"{\" inside the block opened at line %d",
                                  m_nBlockLine);
                });
                Close(false);
                Open(token.line);
                window.Pop();
                continue;
            }
            // A pair: two quoted strings, closed, alone on their line.
            const Token* value = window.Peek(1);
            const Token* after = value != nullptr ? window.Peek(2) : nullptr;
            const bool pair =
                token.kind == Token::Quoted && !token.unterminated && value != nullptr &&
                value->kind == Token::Quoted && !value->unterminated && value->row == token.row &&
                (after == nullptr || after->row != token.row || after->kind == Token::Close);
            if (!pair) {
                m_findings.Error(token.line, Finder::Parser, "not a \"key\" \"value\" pair");
                // The rest of the line goes too, up to a brace, which still opens or closes.
                window.Pop();
                for (const Token* rest = window.Peek(0);
                     rest != nullptr && rest->row == token.row && rest->kind != Token::Open &&
                     rest->kind != Token::Close;
                     rest = window.Peek(0)) {
                    window.Pop();
                }
                continue;
            }
            Pair(token, value->text);
            window.Pop();
            window.Pop();
        }
        if (m_bInBlock) {
            m_findings.Error(m_nBlockLine, Finder::Parser,
                             "unbalanced braces: the block opened here has no \"}\"");
        }
        if (m_nBlocks == 0) {
            m_findings.WholeText(
                "no entity block: a map without its worldspawn block does not load");
        }
        ParsedEntityText parsed;
        if (m_bKeepBlocks) {
            std::size_t first = 0;
            for (std::size_t i = 0; i < m_entities.size(); ++i) {
                m_entities[i].keys =
                    std::span<const EntityKeyValue>(m_pairs).subspan(first, m_keyCounts[i]);
                first += m_keyCounts[i];
            }
            parsed.entities = std::move(m_entities);
            parsed.pairs = std::move(m_pairs);
        }
        parsed.findings = m_findings.Sorted();
        return parsed;
    }

private:
    // Room for every block and pair the text can hold, taken once: growing by doubling would
    // hold up to three times as much at its peak. A pair takes four quotes and a row of its
    // own (or ends at a "}"); a block takes a "{".
    void Reserve() {
        const std::string_view text = m_text.substr(0, std::min(m_text.find('\0'), m_text.size()));
        const auto count = [&](char c) {
            return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
        };
        const std::size_t opens = count('{');
        const std::size_t rows = count('\n') + count('\r') + 1;
        m_entities.reserve(opens);
        m_keyCounts.reserve(opens);
        m_pairs.reserve(std::min(count('"') / 4, rows + count('}')));
    }

    void Open(int line) {
        ++m_nBlocks;
        m_bInBlock = true;
        m_nBlockLine = line;
        m_bHasClassname = false;
        if (m_bKeepBlocks) {
            m_entities.push_back({line, {}});
            m_keyCounts.push_back(0);
        }
    }

    void Close(bool checkClass) {
        if (checkClass && !m_bHasClassname) {
            m_findings.Error(m_nBlockLine, Finder::Parser, "block without \"classname\"");
        }
        m_bInBlock = false;
        m_firstLineOfKey.clear();
    }

    void Pair(const Token& key, std::string_view value) {
        if (key.text == "classname") {
            m_bHasClassname = true;
        }
        if (m_findings.Keeping()) {
            const auto [first, inserted] = m_firstLineOfKey.try_emplace(key.text, key.line);
            if (!inserted) {
                m_findings.Warning(key.line,
                                   Format("duplicate key \"%s\" in one block (first at line %d)",
                                          std::string(key.text).c_str(), first->second));
            }
        }
        if (m_bKeepBlocks) {
            m_pairs.push_back({key.text, value, key.line});
            ++m_keyCounts.back();
        }
    }

    std::string_view m_text;
    bool m_bKeepBlocks;
    CFindings m_findings;

    bool m_bInBlock = false;
    int m_nBlockLine = 0;
    bool m_bHasClassname = false;
    std::size_t m_nBlocks = 0;
    std::map<std::string_view, int, std::less<>> m_firstLineOfKey;  // of the open block

    std::vector<ParsedEntity> m_entities;
    std::vector<std::uint32_t> m_keyCounts;  // of each entity, until their keys are placed
    std::vector<EntityKeyValue> m_pairs;
};

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

const std::string_view* ParsedEntity::Find(std::string_view key) const {
    for (const EntityKeyValue& pair : keys) {
        if (pair.key == key) {
            return &pair.value;
        }
    }
    return nullptr;
}

std::string ParsedEntity::ValueOf(std::string_view key) const {
    const std::string_view* value = Find(key);
    return value != nullptr ? std::string(*value) : std::string();
}

int CountFindings(const std::vector<LintFinding>& findings, LintSeverity severity) {
    return static_cast<int>(std::count_if(
        findings.begin(), findings.end(),
        [severity](const LintFinding& finding) { return finding.severity == severity; }));
}

ParsedEntityText ParseEntityText(std::string_view text) {
    return CParser(text, true, true).Run();
}

ParsedEntityText ParseEntityBlocks(std::string_view text) {
    return CParser(text, true, false).Run();
}

std::vector<LintFinding> LintEntityText(std::string_view text) {
    return CParser(text, false, true).Run().findings;
}

std::optional<TextCut> FindTextCut(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t lineStart = text.rfind('\n', nul);
    return TextCut{
        nul, 1 + static_cast<int>(std::count(text.begin(), text.begin() + nul, '\n')),
        static_cast<int>(nul - (lineStart == std::string_view::npos ? 0 : lineStart + 1)) + 1};
}

}  // namespace entorra
