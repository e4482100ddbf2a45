#include "entities/EngineLint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "base/Format.h"

namespace entorra {
namespace {

using Severity = LintSeverity;

// The keys the game code's EntvarsKeyvalue takes (HL SDK dlls/saverestore.cpp
// gEntvarsDescription, compared without regard to case): they never reach an entity's own
// KeyValue, so a multi_manager does not count them as targets. Sorted.
constexpr std::array<std::string_view, 86> kEntvarsKeys = {"absmax",
                                                           "absmin",
                                                           "aiment",
                                                           "air_finished",
                                                           "angles",
                                                           "animtime",
                                                           "armortype",
                                                           "armorvalue",
                                                           "avelocity",
                                                           "basevelocity",
                                                           "blending",
                                                           "body",
                                                           "button",
                                                           "chain",
                                                           "classname",
                                                           "colormap",
                                                           "controller",
                                                           "deadflag",
                                                           "dmg",
                                                           "dmg_inflictor",
                                                           "dmg_save",
                                                           "dmg_take",
                                                           "dmgtime",
                                                           "effects",
                                                           "enemy",
                                                           "fixangle",
                                                           "flags",
                                                           "frags",
                                                           "frame",
                                                           "framerate",
                                                           "friction",
                                                           "globalname",
                                                           "gravity",
                                                           "groundentity",
                                                           "health",
                                                           "ideal_yaw",
                                                           "idealpitch",
                                                           "impulse",
                                                           "light_level",
                                                           "ltime",
                                                           "max_health",
                                                           "maxs",
                                                           "message",
                                                           "mins",
                                                           "model",
                                                           "modelindex",
                                                           "movedir",
                                                           "movetype",
                                                           "netname",
                                                           "nextthink",
                                                           "noise",
                                                           "noise1",
                                                           "noise2",
                                                           "noise3",
                                                           "oldorigin",
                                                           "origin",
                                                           "owner",
                                                           "pain_finished",
                                                           "pitch_speed",
                                                           "punchangle",
                                                           "radsuit_finished",
                                                           "renderamt",
                                                           "rendercolor",
                                                           "renderfx",
                                                           "rendermode",
                                                           "scale",
                                                           "sequence",
                                                           "size",
                                                           "skin",
                                                           "solid",
                                                           "spawnflags",
                                                           "speed",
                                                           "takedamage",
                                                           "target",
                                                           "targetname",
                                                           "team",
                                                           "teleport_time",
                                                           "v_angle",
                                                           "velocity",
                                                           "view_ofs",
                                                           "waterlevel",
                                                           "watertype",
                                                           "weaponmodel",
                                                           "weapons",
                                                           "yaw_speed",
                                                           "viewmodel"};

bool IsEntvarsKey(std::string_view key) {
    if (key.size() > 20) {
        return false;
    }
    char lowered[20];
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view wanted(lowered, key.size());
    return std::find(kEntvarsKeys.begin(), kEntvarsKeys.end(), wanted) != kEntvarsKeys.end();
}

// A token as the engine's tokeniser returns it.
struct Token {
    std::uint32_t begin = 0;         // its first byte (the quote of a quoted string)
    std::uint32_t end = 0;           // past its last byte (past the closing quote)
    std::uint32_t contentBegin = 0;  // the bytes the engine keeps
    std::uint32_t contentLength = 0;
    std::uint32_t fullLength = 0;  // the token's length before any cut (first piece only)
    bool quoted = false;
    bool unterminated = false;
    bool piece = false;        // a later piece of a string longer than a token (goldsrc)
    bool cut = false;          // longer than a token; this is what is kept of it
    bool backslash = false;    // holds a backslash
    std::uint32_t escape = 0;  // offset of its first \" escape (xash), 0 for none
};

// Offset of the first '"' or '\\' in text[from, to), or `to`: eight bytes at a time, since most
// strings are short and a call per string costs more than the scan.
std::size_t FindQuoteOrBackslash(const char* text, std::size_t from, std::size_t to) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    constexpr std::uint64_t kQuotes = kOnes * '"';
    constexpr std::uint64_t kSlashes = kOnes * '\\';
    while (to - from >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text + from, 8);
        const std::uint64_t quotes = word ^ kQuotes;
        const std::uint64_t slashes = word ^ kSlashes;
        // The lowest marked byte is a match; marks above it may be false.
        const std::uint64_t marks =
            (((quotes - kOnes) & ~quotes) | ((slashes - kOnes) & ~slashes)) & kHighs;
        if (marks != 0) {
            return from + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
        }
        from += 8;
    }
    while (from < to && text[from] != '"' && text[from] != '\\') {
        ++from;
    }
    return from;
}

// Bytes that end an unquoted word and are tokens of their own.
struct CharClasses {
    std::array<bool, 256> single{};
    std::array<bool, 256> endsWord{};
    explicit CharClasses(const EngineLimits& limits) {
        for (const char c : std::string_view("{}()',")) {
            single[static_cast<unsigned char>(c)] = true;
        }
        if (limits.colonIsToken) {
            single[static_cast<unsigned char>(':')] = true;
        }
        for (int c = 0; c < 256; ++c) {
            endsWord[static_cast<std::size_t>(c)] = c <= ' ' || single[static_cast<std::size_t>(c)];
        }
    }
};

class CFindings {
public:
    void Add(std::size_t offset, Severity severity, std::string message) {
        m_findings.push_back({offset, 0, 0, severity, std::move(message)});
    }
    // Sorted by offset, with lines and columns counted in one pass over the text.
    std::vector<EngineFinding> Finish(std::string_view text) {
        std::stable_sort(
            m_findings.begin(), m_findings.end(),
            [](const EngineFinding& a, const EngineFinding& b) { return a.offset < b.offset; });
        std::size_t counted = 0;
        std::size_t lineStart = 0;
        int line = 1;
        for (EngineFinding& finding : m_findings) {
            const std::size_t offset = std::min(finding.offset, text.size());
            while (counted < offset) {
                const void* lf = std::memchr(text.data() + counted, '\n', offset - counted);
                if (lf == nullptr) {
                    break;
                }
                counted = static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) + 1;
                lineStart = counted;
                ++line;
            }
            counted = std::max(counted, offset);
            finding.line = line;
            finding.column = static_cast<int>(offset - lineStart) + 1;
        }
        return std::move(m_findings);
    }

private:
    std::vector<EngineFinding> m_findings;
};

// A token or key as it may stand in a message: quoted, control and high bytes as \xNN, long
// ones shortened.
std::string Shown(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F) {
            shown += Format("\\x%02X", static_cast<unsigned>(c));
        } else if (c == '"' || c == '\\') {
            shown += '\\';
            shown += static_cast<char>(c);
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > kShown) {
        shown += "...";
    }
    shown += '"';
    return shown;
}

std::string_view NameOf(CodePage codePage) {
    switch (codePage) {
        case CodePage::Utf8:
            return "UTF-8";
        case CodePage::Windows1250:
            return "Windows-1250";
        case CodePage::Windows1251:
            return "Windows-1251";
        case CodePage::Windows1252:
            return "Windows-1252";
        case CodePage::None:
            break;
    }
    return "";
}

// Offset in `bytes` of the first byte that is no character in the code page, or npos.
std::size_t FirstInvalidByte(std::string_view bytes, CodePage codePage) {
    const auto undefined = [codePage](unsigned char c) {
        switch (codePage) {
            case CodePage::Windows1252:
                return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
            case CodePage::Windows1250:
                return c == 0x81 || c == 0x83 || c == 0x88 || c == 0x90 || c == 0x98;
            case CodePage::Windows1251:
                return c == 0x98;
            default:
                return false;
        }
    };
    if (codePage != CodePage::Utf8) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (undefined(static_cast<unsigned char>(bytes[i]))) {
                return i;
            }
        }
        return std::string_view::npos;
    }
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t min = 0;
        std::uint32_t value = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, min = 0x80, value = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, min = 0x800, value = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, min = 0x10000, value = c & 0x07u;
        } else {
            return i;
        }
        if (i + length > bytes.size()) {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return i;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

bool HasHighByte(std::string_view text) {
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & kHighs) != 0) {
            return true;
        }
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return true;
        }
    }
    return false;
}

class CEngineLint {
public:
    CEngineLint(std::string_view text, const EngineLintOptions& options)
        : m_text(text),
          m_options(options),
          m_limits(LimitsOf(options.engine)),
          m_classes(m_limits) {}

    std::vector<EngineFinding> Run() {
        const std::string_view whole = m_text;
        const void* nul = std::memchr(whole.data(), '\0', whole.size());
        if (nul != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - whole.data());
            m_text = whole.substr(0, at);
            const std::string_view rest = whole.substr(at + 1);
            if (std::any_of(rest.begin(), rest.end(),
                            [](char c) { return static_cast<unsigned char>(c) > ' '; })) {
                m_findings.Add(at, Severity::Warning,
                               Format("the engine reads the text up to this NUL byte and "
                                      "ignores the %zu bytes after it",
                                      rest.size()));
            }
        }
        m_checkCodePage = m_options.codePage != CodePage::None && HasHighByte(m_text);
        ParseBlocks();
        CheckSize();
        return m_findings.Finish(whole);
    }

private:
    std::string_view Content(const Token& token) const {
        return m_text.substr(token.contentBegin, token.contentLength);
    }
    static char First(std::string_view content) { return content.empty() ? '\0' : content[0]; }

    // --- the tokeniser -------------------------------------------------------------------

    // The next token, as the engine's tokeniser returns it, with its own findings made; false
    // at the end of the text.
    bool Next(Token& token) {
        if (m_pendingAt < m_pending.size()) {
            token = m_pending[m_pendingAt++];
            CheckToken(token);
            return true;
        }
        const std::size_t size = m_text.size();
        const char* const text = m_text.data();
        std::size_t at = m_at;
        while (at < size) {
            const auto c = static_cast<unsigned char>(text[at]);
            if (c <= ' ') {
                ++at;
            } else if (c == '/' && at + 1 < size && text[at + 1] == '/') {
                const void* lf = std::memchr(text + at, '\n', size - at);
                at = lf == nullptr ? size
                                   : static_cast<std::size_t>(static_cast<const char*>(lf) - text);
            } else {
                break;
            }
        }
        if (at >= size) {
            m_at = size;
            return false;
        }
        token = Token{};
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '"') {
            m_at = m_limits.quoteEscapes ? QuotedWithEscapes(at, token) : Quoted(at, token);
        } else if (m_classes.single[c]) {
            token.begin = token.contentBegin = static_cast<std::uint32_t>(at);
            token.end = static_cast<std::uint32_t>(at + 1);
            token.contentLength = token.fullLength = 1;
            m_at = at + 1;
        } else {
            m_at = Word(at, token);
        }
        if (token.cut || m_checkCodePage) {
            CheckToken(token);
        }
        return true;
    }

    // The pieces after the first of a token longer than the engine keeps; they come out of
    // Next one by one.
    void Piece(const Token& piece) {
        if (m_pendingAt >= m_pending.size()) {
            m_pending.clear();
            m_pendingAt = 0;
        }
        m_pending.push_back(piece);
    }

    // A quoted string without escapes; past the token size the engine returns what it has
    // and goes on inside the quotes with the next call.
    std::size_t Quoted(std::size_t at, Token& token) {
        const std::size_t size = m_text.size();
        const char* const text = m_text.data();
        const std::size_t contentBegin = at + 1;
        std::size_t contentEnd = contentBegin;
        bool backslash = false;
        for (;;) {
            contentEnd = FindQuoteOrBackslash(text, contentEnd, size);
            if (contentEnd < size && text[contentEnd] == '\\') {
                backslash = true;
                ++contentEnd;
                continue;
            }
            break;
        }
        const bool closed = contentEnd < size;
        const std::size_t end = closed ? contentEnd + 1 : size;
        const std::size_t length = contentEnd - contentBegin;
        token.begin = static_cast<std::uint32_t>(at);
        token.end = static_cast<std::uint32_t>(end);
        token.contentBegin = static_cast<std::uint32_t>(contentBegin);
        token.contentLength = static_cast<std::uint32_t>(length);
        token.fullLength = static_cast<std::uint32_t>(length);
        token.quoted = true;
        token.unterminated = !closed;
        token.backslash = backslash;
        if (!closed) {
            Unterminated(at);
        }
        const std::size_t max = m_limits.tokenBytes;
        if (length >= max) {
            // A piece ends as soon as it is full, even right before the closing quote, which
            // then ends an empty piece.
            Token piece = token;
            piece.piece = true;
            token.end = static_cast<std::uint32_t>(contentBegin + max);
            token.contentLength = static_cast<std::uint32_t>(max);
            token.unterminated = false;
            token.cut = true;
            for (std::size_t from = contentBegin + max; from <= contentEnd; from += max) {
                const std::size_t pieceLength = std::min(max, contentEnd - from);
                piece.begin = piece.contentBegin = static_cast<std::uint32_t>(from);
                piece.contentLength = static_cast<std::uint32_t>(pieceLength);
                const bool last = pieceLength < max;
                piece.end = static_cast<std::uint32_t>(last ? end : from + max);
                piece.cut = !last;
                piece.unterminated = last && !closed;
                Piece(piece);
            }
        }
        return end;
    }

    // A quoted string in which \" is a quote; the engine keeps what fits and drops the rest.
    std::size_t QuotedWithEscapes(std::size_t at, Token& token) {
        const std::size_t size = m_text.size();
        const char* const text = m_text.data();
        const std::size_t contentBegin = at + 1;
        std::size_t from = contentBegin;
        std::size_t escapes = 0;
        std::size_t firstEscape = 0;
        std::size_t contentEnd = size;
        bool backslash = false;
        bool closed = false;
        while (from < size) {
            const std::size_t found = FindQuoteOrBackslash(text, from, size);
            if (found >= size) {
                break;
            }
            if (text[found] == '\\') {
                backslash = true;
                if (found + 1 < size && text[found + 1] == '"') {
                    if (escapes++ == 0) {
                        firstEscape = found;
                    }
                    from = found + 2;
                } else {
                    from = found + 1;
                }
                continue;
            }
            contentEnd = found;
            closed = true;
            break;
        }
        const std::size_t length = contentEnd - contentBegin - escapes;
        token.begin = static_cast<std::uint32_t>(at);
        token.end = static_cast<std::uint32_t>(closed ? contentEnd + 1 : size);
        token.contentBegin = static_cast<std::uint32_t>(contentBegin);
        token.contentLength = static_cast<std::uint32_t>(contentEnd - contentBegin);
        token.fullLength = static_cast<std::uint32_t>(length);
        token.quoted = true;
        token.unterminated = !closed;
        token.cut = length > m_limits.tokenBytes;
        token.backslash = backslash;
        token.escape = static_cast<std::uint32_t>(firstEscape);
        if (!closed) {
            Unterminated(at);
        }
        return token.end;
    }

    // An unquoted word, up to whitespace or a single-byte token.
    std::size_t Word(std::size_t at, Token& token) {
        const std::size_t size = m_text.size();
        const char* const text = m_text.data();
        std::size_t end = at + 1;
        bool backslash = text[at] == '\\';
        while (end < size && !m_classes.endsWord[static_cast<unsigned char>(text[end])]) {
            backslash |= text[end] == '\\';
            ++end;
        }
        const std::size_t length = end - at;
        const std::size_t max = m_limits.tokenBytes;
        token.begin = token.contentBegin = static_cast<std::uint32_t>(at);
        token.end = static_cast<std::uint32_t>(std::min(length, max) + at);
        token.contentLength = static_cast<std::uint32_t>(std::min(length, max));
        token.fullLength = static_cast<std::uint32_t>(length);
        token.cut = length > max;
        token.backslash = backslash;
        if (!token.cut || !m_limits.tokenRestIsNextToken) {
            token.end = static_cast<std::uint32_t>(end);
            return end;
        }
        Token piece = token;
        piece.piece = true;
        for (std::size_t from = at + max; from < end; from += max) {
            piece.begin = piece.contentBegin = static_cast<std::uint32_t>(from);
            piece.end = static_cast<std::uint32_t>(std::min(from + max, end));
            piece.contentLength = piece.end - piece.begin;
            Piece(piece);
        }
        return end;
    }

    void Unterminated(std::size_t quote) {
        m_findings.Add(quote, Severity::Error,
                       "unterminated quote: the engine reads the rest of the text as one string");
    }

    // --- token rules -------------------------------------------------------------------

    void CheckToken(const Token& token) {
        if (token.cut && !token.piece) {
            const char* what = token.quoted ? "string" : "word";
            if (m_limits.tokenRestIsNextToken) {
                m_findings.Add(token.begin, Severity::Warning,
                               Format("%s of %u bytes: the engine keeps %zu and reads the rest "
                                      "as more strings, which shifts the pairs after it",
                                      what, token.fullLength, m_limits.tokenBytes));
            } else {
                m_findings.Add(token.begin, Severity::Warning,
                               Format("%s of %u bytes: the engine keeps the first %zu and drops "
                                      "the rest",
                                      what, token.fullLength, m_limits.tokenBytes));
            }
        }
        if (!m_checkCodePage) {
            return;
        }
        const std::string_view content = Content(token);
        const std::size_t bad = FirstInvalidByte(content, m_options.codePage);
        if (bad == std::string_view::npos) {
            return;
        }
        const std::string_view name = NameOf(m_options.codePage);
        if (m_options.codePage == CodePage::Utf8) {
            m_findings.Add(token.contentBegin + bad, Severity::Warning,
                           Format("bytes that are not %.*s: engines and tools read them "
                                  "differently",
                                  static_cast<int>(name.size()), name.data()));
        } else {
            m_findings.Add(token.contentBegin + bad, Severity::Warning,
                           Format("byte 0x%02X is no character in %.*s: engines and tools read it "
                                  "differently",
                                  static_cast<unsigned>(static_cast<unsigned char>(content[bad])),
                                  static_cast<int>(name.size()), name.data()));
        }
    }

    // --- the block parser ----------------------------------------------------------------

    struct Block {
        std::size_t open = 0;  // offset of its "{"
        int index = 0;
        bool hasClassname = false;
        bool classnamePairSeen = false;
        std::string_view classname;
        int targets = 0;
        std::size_t firstDroppedTarget = 0;
        std::string_view firstDroppedKey;
        int storedPairs = 0;
    };

    void ParseBlocks() {
        bool stray = false;  // inside a run of tokens outside any block
        Token token;
        while (Next(token)) {
            const std::string_view content = Content(token);
            if (First(content) != '{') {
                if (!stray) {
                    std::string message =
                        Format("found %s when expecting {: the engine stops loading the map",
                               Shown(content).c_str());
                    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
                        message += " (a UTF-8 byte order mark)";
                    }
                    m_findings.Add(token.begin, Severity::Error, std::move(message));
                    stray = true;
                }
                continue;
            }
            stray = false;
            Block block;
            block.open = token.begin;
            block.index = m_blocks++;
            CheckEdicts(block);
            ParseBlock(block);
        }
        if (m_blocks == 0) {
            m_findings.Add(0, Severity::Error,
                           "the text holds no block: the map has no world (\"worldspawn\")");
        }
    }

    // Every block takes an edict; the world takes edict 0 and the player slots the next ones.
    void CheckEdicts(const Block& block) {
        if (m_edictBlockOffset != std::string_view::npos) {
            return;
        }
        const int players = std::max(1, m_options.players);
        m_edictLimit = EdictLimit(m_limits, players, m_options.edicts);
        if (block.index + 1 + players > m_edictLimit) {
            m_edictBlockOffset = block.open;
        }
    }

    // The engine's classname search before it reads a block, kept inside the block: it stops
    // at a "}" where a key or a value would be. m_block holds the block's keys and values.
    void FindClassname(Block& block) const {
        for (std::size_t i = 0; i + 1 < m_block.size(); i += 2) {
            const std::string_view key = Content(m_block[i]).substr(0, m_limits.keyBytes);
            const std::string_view value = Content(m_block[i + 1]);
            if (First(value) == '}') {
                return;
            }
            if (key == "classname" && (!m_limits.skipsEmptyKeysAndValues || !value.empty())) {
                block.hasClassname = true;
                block.classname = value;
                return;
            }
        }
    }

    // Reads the block after its "{": its keys and values up to a "}" where a key would be,
    // or up to a value that begins with "}", or to the end of the text.
    void ParseBlock(Block& block) {
        m_block.clear();
        bool closed = false;
        bool brokenPair = false;
        const auto brace = [this](const Token& token) {
            return token.contentLength > 0 && m_text[token.contentBegin] == '}';
        };
        for (;;) {
            if (!Next(m_block.emplace_back())) {
                m_block.pop_back();
                break;
            }
            if (brace(m_block.back())) {
                m_block.pop_back();
                closed = true;
                break;
            }
            if (!Next(m_block.emplace_back())) {
                m_block.pop_back();
                break;
            }
            if (brace(m_block.back())) {
                const Token& value = m_block.back();
                m_findings.Add(value.begin, Severity::Error,
                               Format("closing brace without data: the key %s has no value and "
                                      "the engine stops loading the map",
                                      Shown(Content(m_block[m_block.size() - 2])).c_str()));
                brokenPair = true;
                closed = true;
                break;
            }
        }
        FindClassname(block);
        m_keys.clear();
        if (!m_keySet.empty()) {
            std::unordered_map<std::string_view, std::string_view>().swap(m_keySet);
        }
        const std::size_t pairs =
            brokenPair ? m_block.size() - 2 : m_block.size() & ~std::size_t{1};
        for (std::size_t i = 0; i < pairs; i += 2) {
            Pair(block, m_block[i], m_block[i + 1]);
        }
        if (!closed) {
            m_findings.Add(block.open, Severity::Error,
                           "EOF without closing brace: the block opened here never ends and the "
                           "engine stops loading the map");
        }
        EndBlock(block, closed, brokenPair);
    }

    void Pair(Block& block, const Token& keyToken, const Token& valueToken) {
        const std::string_view rawKey = Content(keyToken);
        const std::string_view value = Content(valueToken);
        std::string_view key = rawKey.substr(0, m_limits.keyBytes);
        if (rawKey.size() > m_limits.keyBytes) {
            m_findings.Add(keyToken.begin, Severity::Warning,
                           Format("key of %zu bytes: the engine keeps the first %zu", rawKey.size(),
                                  m_limits.keyBytes));
        }
        if (m_limits.trimsKeySpaces && !key.empty() && key.back() == ' ') {
            while (!key.empty() && key.back() == ' ') {
                key.remove_suffix(1);
            }
            m_findings.Add(keyToken.begin, Severity::Warning,
                           Format("the engine drops the trailing spaces of the key %s",
                                  Shown(rawKey).c_str()));
        }
        CheckLines(keyToken, valueToken);
        CheckValue(key, valueToken);

        if (m_limits.skipsPairsValuedClassname && block.hasClassname && value == block.classname) {
            // The classname went to the game before the block was read; the same pair again
            // changes nothing.
            if (key == "classname") {
                if (!block.classnamePairSeen) {
                    block.classnamePairSeen = true;
                    Remember(key, value, keyToken.begin);
                }
                return;
            }
            m_findings.Add(keyToken.begin, Severity::Warning,
                           Format("the engine skips this pair: its value is the block's "
                                  "classname %s",
                                  Shown(block.classname).c_str()));
            return;
        }
        if (m_limits.skipsEmptyKeysAndValues) {
            if (key.empty() || value.empty()) {
                m_findings.Add(keyToken.begin, Severity::Information,
                               "the engine ignores a pair with an empty key or value");
                return;
            }
            if (key == "wad") {
                return;
            }
        }
        if (m_limits.pairsPerBlock > 0 && ++block.storedPairs == m_limits.pairsPerBlock + 1) {
            m_findings.Add(keyToken.begin, Severity::Error,
                           Format("a block holds at most %d pairs: the engine stops reading "
                                  "it here and then stops loading the map",
                                  m_limits.pairsPerBlock));
        }
        Remember(key, value, keyToken.begin);
        if (key == "angle") {
            Angle(keyToken, value);
        }
        if (block.hasClassname && block.classname == "multi_manager" && key != "wait" &&
            !IsEntvarsKey(key)) {
            if (++block.targets == m_limits.multiManagerTargets + 1) {
                block.firstDroppedTarget = keyToken.begin;
                block.firstDroppedKey = key;
            }
        }
    }

    // A key given twice with another value: the game takes both, and the later one wins.
    void Remember(std::string_view key, std::string_view value, std::size_t offset) {
        constexpr std::size_t kLinearKeys = 32;
        if (m_keys.size() >= kLinearKeys && m_keySet.empty()) {
            for (const auto& [seenKey, seenValue] : m_keys) {
                m_keySet.emplace(seenKey, seenValue);
            }
        }
        std::string_view earlier;
        bool twice = false;
        if (m_keySet.empty()) {
            for (const auto& [seenKey, seenValue] : m_keys) {
                if (seenKey == key) {
                    earlier = seenValue;
                    twice = true;
                    break;
                }
            }
        } else {
            const auto [found, inserted] = m_keySet.emplace(key, value);
            twice = !inserted;
            earlier = found->second;
        }
        if (!twice) {
            m_keys.emplace_back(key, value);
            return;
        }
        if (earlier != value) {
            m_findings.Add(offset, Severity::Warning,
                           Format("the key %s is given twice in one block: the later value "
                                  "wins",
                                  Shown(key).c_str()));
        }
    }

    void Angle(const Token& keyToken, std::string_view value) {
        const std::string copy(value);
        const double angle = std::strtod(copy.c_str(), nullptr);
        const bool exact = m_limits.exactNegativeAngles;
        std::string becomes;
        bool odd = false;
        if (angle >= 0.0) {
            becomes = Format("\"angles\" with a yaw of %s", Shown(value).c_str());
        } else if (exact ? angle == -1.0 : static_cast<int>(angle) == -1) {
            becomes = "\"angles\" \"-90 0 0\" (up)";
        } else if (exact && angle != -2.0) {
            becomes = "\"angles\" \"0 0 0\"";
            odd = true;
        } else {
            becomes = "\"angles\" \"90 0 0\" (down)";
            odd = !exact && static_cast<int>(angle) != -2;
        }
        if (odd) {
            m_findings.Add(keyToken.begin, Severity::Warning,
                           Format("\"angle\" %s becomes %s, not a yaw", Shown(value).c_str(),
                                  becomes.c_str()));
        } else {
            m_findings.Add(keyToken.begin, Severity::Information,
                           Format("the engine turns \"angle\" into %s", becomes.c_str()));
        }
    }
    // A pair whose value stands on another line than its key: the engine pairs strings in
    // order, so a missing value takes the next line's key.
    void CheckLines(const Token& keyToken, const Token& valueToken) {
        if (valueToken.piece) {
            return;
        }
        bool lineEnd = false;
        for (std::size_t at = keyToken.end; at < valueToken.begin && !lineEnd; ++at) {
            lineEnd = m_text[at] == '\n' || m_text[at] == '\r';
        }
        if (!lineEnd) {
            return;
        }
        m_findings.Add(
            keyToken.begin, Severity::Warning,
            Format("%s has no value on its line: the engine pairs strings, not "
                   "lines, and takes %s from a later line as its value",
                   Shown(Content(keyToken)).c_str(), Shown(Content(valueToken)).c_str()));
    }

    void CheckValue(std::string_view key, const Token& valueToken) {
        const std::string_view value = Content(valueToken);
        if (m_limits.quoteEscapes) {
            if (valueToken.escape != 0) {
                m_findings.Add(valueToken.escape, Severity::Warning,
                               "\\\" is a quote inside the value here, but GoldSrc ends the "
                               "value at it");
            }
        } else if (valueToken.quoted && !valueToken.unterminated && !value.empty() &&
                   value.back() == '\\' &&
                   valueToken.contentBegin + valueToken.contentLength + 1 == valueToken.end) {
            m_findings.Add(valueToken.end - 2, Severity::Warning,
                           "the value ends at this quote: GoldSrc has no \\\" escape, Xash reads "
                           "it as a quote inside the value");
            return;
        }
        // The engine reads "wad" itself, as paths; only strings the game keeps pass its string
        // table.
        std::size_t from = !valueToken.backslash || key == "wad" ? value.size() : 0;
        while (from < value.size()) {
            const std::size_t slash = value.find('\\', from);
            if (slash == std::string_view::npos) {
                break;
            }
            const char next = slash + 1 < value.size() ? value[slash + 1] : '\0';
            if (next == 'n') {
                from = slash + 2;
                continue;
            }
            if (next == '"' && m_limits.quoteEscapes) {
                from = slash + 2;
                continue;
            }
            if (slash + 1 == value.size()) {
                break;  // the \" case above
            }
            m_findings.Add(valueToken.contentBegin + slash, Severity::Warning,
                           "backslash in a value: GoldSrc's string table drops the byte after "
                           "it, ReHLDS and Xash keep it");
            break;
        }
    }

    void EndBlock(Block& block, bool closed, bool brokenPair) {
        const bool world = block.index == 0;
        if (!closed) {
            // The engine stops at the end of the text; nothing more to say about the block.
        } else if (!block.hasClassname) {
            if (m_limits.stopsOnBlockWithoutClassname) {
                if (!brokenPair) {
                    m_findings.Add(block.open, Severity::Error,
                                   "block without \"classname\": the engine leaves it unread and "
                                   "stops loading the map (\"found ... when expecting {\")");
                }
            } else if (world) {
                m_findings.Add(block.open, Severity::Error,
                               "block without \"classname\": the first block becomes the world "
                               "and needs \"worldspawn\"");
            } else {
                m_findings.Add(block.open, Severity::Warning,
                               "block without \"classname\": the engine drops it");
            }
        } else if (world && block.classname != "worldspawn") {
            m_findings.Add(block.open, Severity::Error,
                           Format("the first block becomes the world, but its classname is %s, "
                                  "not \"worldspawn\"",
                                  Shown(block.classname).c_str()));
        } else if (!world && block.classname == "worldspawn") {
            m_findings.Add(block.open, Severity::Warning,
                           "a second \"worldspawn\": only the first block becomes the world, "
                           "this one is an ordinary entity");
        }
        if (block.targets > m_limits.multiManagerTargets) {
            m_findings.Add(
                block.firstDroppedTarget, Severity::Warning,
                Format("multi_manager keeps %d targets: the game drops %s and the %d "
                       "after it",
                       m_limits.multiManagerTargets, Shown(block.firstDroppedKey).c_str(),
                       block.targets - m_limits.multiManagerTargets - 1));
        }
    }

    void CheckSize() {
        if (m_edictBlockOffset != std::string_view::npos) {
            const int players = std::max(1, m_options.players);
            m_findings.Add(
                m_edictBlockOffset, Severity::Error,
                Format("no free edicts from this block on: %d blocks and %d player slots need "
                       "%d edicts, %.*s has %d",
                       m_blocks, players, m_blocks + players,
                       static_cast<int>(m_limits.name.size()), m_limits.name.data(), m_edictLimit));
        }
        if (m_text.size() > m_limits.textBytes) {
            m_findings.Add(0, Severity::Information,
                           Format("the entity text is %zu bytes, more than the %zu that %s; the "
                                  "engine reads it all",
                                  m_text.size(), m_limits.textBytes,
                                  std::string(m_limits.textBytesOf).c_str()));
        }
    }

    std::string_view m_text;
    const EngineLintOptions& m_options;
    const EngineLimits& m_limits;
    CharClasses m_classes;
    std::size_t m_at = 0;          // where the tokeniser goes on
    std::vector<Token> m_pending;  // the pieces of a token longer than a token
    std::size_t m_pendingAt = 0;
    std::vector<Token> m_block;  // the keys and values of the block being read
    bool m_checkCodePage = false;
    // The keys of the block being read with their first values; the map for blocks with many.
    std::vector<std::pair<std::string_view, std::string_view>> m_keys;
    std::unordered_map<std::string_view, std::string_view> m_keySet;
    CFindings m_findings;
    int m_blocks = 0;
    std::size_t m_edictBlockOffset = std::string_view::npos;
    int m_edictLimit = 0;
};

}  // namespace

std::optional<CodePage> CodePageNamed(std::string_view name) {
    std::string lowered;
    for (const char c : name) {
        lowered += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (lowered.rfind("windows-", 0) == 0) {
        lowered.erase(0, 8);
    } else if (lowered.rfind("cp", 0) == 0) {
        lowered.erase(0, 2);
    }
    if (lowered == "none") {
        return CodePage::None;
    }
    if (lowered == "utf-8" || lowered == "utf8") {
        return CodePage::Utf8;
    }
    if (lowered == "1250") {
        return CodePage::Windows1250;
    }
    if (lowered == "1251") {
        return CodePage::Windows1251;
    }
    if (lowered == "1252") {
        return CodePage::Windows1252;
    }
    return std::nullopt;
}

std::vector<EngineFinding> LintForEngine(std::string_view text, const EngineLintOptions& options) {
    return CEngineLint(text, options).Run();
}

}  // namespace entorra
