#pragma once

// Reads an entity text the way the engine's parser tokenises it and reports what would make
// the engine stop or guess: unbalanced braces, an unterminated quote, text outside any block,
// a block without "classname", a line that is not a "key" "value" pair, a key given twice in
// one block, a NUL byte inside the text. Operators run it before a text goes into a map.

#include <string>
#include <string_view>
#include <vector>

namespace entorra {

enum class LintSeverity { Error, Warning, Information };

const char* LintSeverityName(LintSeverity severity);

struct LintFinding {
    int line = 0;  // 1-based line of the text; 0 for findings about the map file itself
    LintSeverity severity = LintSeverity::Error;
    std::string message;
    int column = 0;  // 1-based byte column; 0 when only the line is known
    friend bool operator==(const LintFinding&, const LintFinding&) = default;
};

struct EntityKeyValue {
    std::string key;
    std::string value;
    int line = 0;
};

struct ParsedEntity {
    int line = 0;  // the line of its "{"
    std::vector<EntityKeyValue> keys;

    // The value of the first pair with this key, or null.
    const std::string* Find(std::string_view key) const;
    // The same, "" when the key is absent.
    std::string ValueOf(std::string_view key) const;
};

struct ParsedEntityText {
    std::vector<ParsedEntity> entities;  // in text order, closed or not
    std::vector<LintFinding> findings;   // in line order
};

// Line ends may be LF or CR LF. The text ends at its end, not at a NUL: a NUL inside is a
// finding, because a map's entity text would end there.
ParsedEntityText ParseEntityText(std::string_view text);

inline std::vector<LintFinding> LintEntityText(std::string_view text) {
    return ParseEntityText(text).findings;
}

int CountFindings(const std::vector<LintFinding>& findings, LintSeverity severity);

}  // namespace entorra
