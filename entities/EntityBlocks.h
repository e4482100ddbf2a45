#pragma once

// The block finder: widens an occurrence of a string to the entity block ("{" ... "}") around
// it. Nothing inside a block is parsed; only the two brace bytes around the occurrence count.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace entorra {

// The text the finder sees: everything before the first NUL byte, as a NUL-terminated text
// would be read. Cut once per command and pass the view along, so that no search rescans the
// whole text for its length.
std::string_view TextBeforeNul(std::string_view text);

// A search string prepared once for many searches in the same command: byte-wise,
// case-sensitive substring search (Horspool skips, memchr for a single byte).
class CSearchString {
public:
    explicit CSearchString(std::string_view text);

    std::string_view View() const { return m_strText; }
    bool Empty() const { return m_strText.empty(); }

    // Offset of the first occurrence that starts at or after `from` and ends at or before
    // `to`, or npos. An empty search string occurs nowhere.
    std::size_t FindIn(const char* text, std::size_t from, std::size_t to) const;

    // Appends, in order, every occurrence (overlapping ones too) that starts in
    // [from, startsBefore) and ends at or before `to`.
    void FindAllIn(const char* text, std::size_t from, std::size_t startsBefore, std::size_t to,
                   std::vector<std::size_t>& found) const;

private:
    std::string m_strText;
    std::array<std::size_t, 256> m_skip{};
};

// The occurrences of a search string in one unchanged text, read in order. The text is
// searched a window ahead of the reader, in a few stretches at once: one Horspool search
// waits on each skip it takes, several independent ones keep the processor busy.
class COccurrences {
public:
    COccurrences(const CSearchString& searchString, std::string_view text);

    // The same as FindIn over the text; fastest when `from` does not go back between calls.
    std::size_t Next(std::size_t from, std::size_t to);

private:
    void ScanWindow(std::size_t start);

    const CSearchString& m_search;
    std::string_view m_text;
    std::vector<std::size_t> m_found;  // every occurrence starting in the window, in order
    std::size_t m_nRead = 0;           // m_found before this index lies before the reader
    std::size_t m_nWindowStart = 0;
    std::size_t m_nWindowEnd = 0;
};

// 0 found, 1 not found. `text` is the text before its NUL (see TextBeforeNul). A start offset
// past the end of the text searches from the beginning; one equal to its length finds nothing.
// Only the first occurrence at or after the start is judged: the walk left to the "{" is
// bounded by the beginning of the text, not by the start offset, and the walk right to the
// "}" by its end. blockStart and blockEnd are meaningful only on result 0.
int FindEntityBlock(const CSearchString& searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd);
int FindEntityBlock(std::string_view searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd);

// The entity blocks of `text` (the text before its NUL) that contain `className`: finds from
// offset 0, each next one from one past the end of the block before. The spawn census.
int CountEntityBlocks(std::string_view className, std::string_view text);

// Repeated finds over one unchanged text. Gives exactly what FindEntityBlock gives, but
// remembers how far it has looked for "{", so a run of finds at growing offsets reads each
// byte a bounded number of times.
class CBlockFinder {
public:
    CBlockFinder(const CSearchString& searchString, std::string_view text);

    int Find(int startOffset, int& blockStart, int& blockEnd);

private:
    std::size_t LastOpenBraceUpTo(std::size_t last);

    COccurrences m_occurrences;
    std::string_view m_text;
    std::size_t m_nScanned = 0;                        // "{" looked for in [0, m_nScanned)
    std::size_t m_nLastOpen = std::string_view::npos;  // the last "{" found there
};

// Offset of the first or the last `c` in text[from, to), or npos: bounded on both sides,
// which std::string_view's find and rfind are not.
std::size_t FindFirstByte(const char* text, std::size_t from, std::size_t to, char c);
std::size_t FindLastByte(const char* text, std::size_t from, std::size_t to, char c);

}  // namespace entorra
