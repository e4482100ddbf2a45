#pragma once

// Reads an entity text the way the engine's parser tokenises it and reports what would make
// the engine stop or guess: no block at all (no worldspawn), unbalanced braces, an unterminated
// quote, text outside any block, a block without "classname", a line that is not a "key"
// "value" pair, a key given twice in one block, a NUL byte inside the text. Operators run it
// before a text goes into a map.
//
// One pass over the text, in time linear in its length; the blocks it keeps point into the
// text, so they cost a small part of the text's own size.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace entorra {

enum class LintSeverity { Error, Warning, Information };

const char* LintSeverityName(LintSeverity severity);

struct LintFinding {
    // 1-based line of the text; 0 for findings about the whole text or the map file itself
    int line = 0;
    LintSeverity severity = LintSeverity::Error;
    std::string message;
    int column = 0;  // 1-based byte column; 0 when only the line is known
    friend bool operator==(const LintFinding&, const LintFinding&) = default;
};

// Key and value point into the text parsed.
struct EntityKeyValue {
    std::string_view key;
    std::string_view value;
    int line = 0;
};

struct ParsedEntity {
    int line = 0;  // the line of its "{"
    std::span<const EntityKeyValue> keys;

    // The value of the first pair with this key, or null.
    const std::string_view* Find(std::string_view key) const;
    // The same, "" when the key is absent.
    std::string ValueOf(std::string_view key) const;
};

// The blocks of a text and what is wrong with it. It points into the text it was parsed from,
// which must outlive it, and into itself: it can be moved, not copied.
struct ParsedEntityText {
    std::vector<ParsedEntity> entities;  // in text order, closed or not
    std::vector<LintFinding> findings;   // in line order
    std::vector<EntityKeyValue> pairs;   // every block's keys, in text order

    ParsedEntityText() = default;
    ParsedEntityText(ParsedEntityText&&) = default;
    ParsedEntityText& operator=(ParsedEntityText&&) = default;
    ParsedEntityText(const ParsedEntityText&) = delete;
    ParsedEntityText& operator=(const ParsedEntityText&) = delete;
};

// Line ends may be LF or CR LF. The text ends at its end, not at a NUL: a NUL inside is a
// finding, because a map's entity text would end there, and nothing after it is read.
ParsedEntityText ParseEntityText(std::string_view text);

// The blocks only, for comparing texts: the findings are not gathered.
ParsedEntityText ParseEntityBlocks(std::string_view text);

// The findings only: no block is kept beyond its end.
std::vector<LintFinding> LintEntityText(std::string_view text);

int CountFindings(const std::vector<LintFinding>& findings, LintSeverity severity);

// Where a NUL byte cuts the text: its offset, 1-based line and byte column; no value when it
// has none.
struct TextCut {
    std::size_t offset = 0;
    int line = 0;
    int column = 0;
};
std::optional<TextCut> FindTextCut(std::string_view text);

}  // namespace entorra
