#include "entities/EntityBlocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace entorra {

namespace {

// The start rule: past the end means from the beginning. A negative offset never reaches
// here from the commands; it is read as the beginning too.
std::size_t StartOf(int startOffset, std::size_t length) {
    if (startOffset < 0 || static_cast<std::size_t>(startOffset) > length) {
        return 0;
    }
    return static_cast<std::size_t>(startOffset);
}

}  // namespace

std::string_view TextBeforeNul(std::string_view text) {
    const std::size_t nul = FindFirstByte(text.data(), 0, text.size(), '\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::size_t FindFirstByte(const char* text, std::size_t from, std::size_t to, char c) {
    if (from >= to) {
        return std::string_view::npos;
    }
    const void* found = std::memchr(text + from, c, to - from);
    return found == nullptr ? std::string_view::npos
                            : static_cast<std::size_t>(static_cast<const char*>(found) - text);
}

std::size_t FindLastByte(const char* text, std::size_t from, std::size_t to, char c) {
    // Eight bytes at a time; a word that may hold `c` is then read byte by byte, since the
    // zero-byte test is exact only about whether there is one, not where.
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    while (to - from >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text + to - 8, 8);
        const std::uint64_t x = word ^ pattern;
        if (((x - kOnes) & ~x & kHighs) != 0) {
            break;
        }
        to -= 8;
    }
    while (to > from) {
        --to;
        if (text[to] == c) {
            return to;
        }
    }
    return std::string_view::npos;
}

CSearchString::CSearchString(std::string_view text) : m_strText(text) {
    const std::size_t length = m_strText.size();
    m_skip.fill(length);
    for (std::size_t i = 0; i + 1 < length; ++i) {
        m_skip[static_cast<unsigned char>(m_strText[i])] = length - 1 - i;
    }
}

std::size_t CSearchString::FindIn(const char* text, std::size_t from, std::size_t to) const {
    const std::size_t length = m_strText.size();
    if (length == 0 || to < from || to - from < length) {
        return std::string_view::npos;
    }
    if (length == 1) {
        return FindFirstByte(text, from, to, m_strText[0]);
    }
    const char* const needle = m_strText.data();
    const char last = needle[length - 1];
    const std::size_t lastStart = to - length;
    std::size_t at = from;
    while (at <= lastStart) {
        const char tail = text[at + length - 1];
        if (tail == last && text[at] == needle[0] &&
            std::memcmp(text + at + 1, needle + 1, length - 2) == 0) {
            return at;
        }
        at += m_skip[static_cast<unsigned char>(tail)];
    }
    return std::string_view::npos;
}

void CSearchString::FindAllIn(const char* text, std::size_t from, std::size_t startsBefore,
                              std::size_t to, std::vector<std::size_t>& found) const {
    const std::size_t length = m_strText.size();
    if (length == 0 || to < length) {
        return;
    }
    startsBefore = std::min(startsBefore, to - length + 1);
    if (from >= startsBefore) {
        return;
    }
    if (length == 1) {
        for (std::size_t at = FindFirstByte(text, from, startsBefore, m_strText[0]);
             at != std::string_view::npos;
             at = FindFirstByte(text, at + 1, startsBefore, m_strText[0])) {
            found.push_back(at);
        }
        return;
    }

    // Four searches in lockstep, each over a quarter of the starts; their finds, taken
    // quarter after quarter, are in order.
    constexpr std::size_t kCursors = 4;
    const char* const needle = m_strText.data();
    const char last = needle[length - 1];
    const std::size_t span = startsBefore - from;
    std::array<std::size_t, kCursors> at{};
    std::array<std::size_t, kCursors> end{};
    std::array<std::vector<std::size_t>, kCursors> finds;
    for (std::size_t cursor = 0; cursor < kCursors; ++cursor) {
        at[cursor] = from + span * cursor / kCursors;
        end[cursor] = from + span * (cursor + 1) / kCursors;
    }
    const auto step = [&](std::size_t cursor) {
        const std::size_t position = at[cursor];
        const char tail = text[position + length - 1];
        if (tail == last && text[position] == needle[0] &&
            std::memcmp(text + position + 1, needle + 1, length - 2) == 0) {
            finds[cursor].push_back(position);
        }
        at[cursor] = position + m_skip[static_cast<unsigned char>(tail)];
    };
    while (at[0] < end[0] && at[1] < end[1] && at[2] < end[2] && at[3] < end[3]) {
        step(0);
        step(1);
        step(2);
        step(3);
    }
    for (std::size_t cursor = 0; cursor < kCursors; ++cursor) {
        while (at[cursor] < end[cursor]) {
            step(cursor);
        }
        found.insert(found.end(), finds[cursor].begin(), finds[cursor].end());
    }
}

COccurrences::COccurrences(const CSearchString& searchString, std::string_view text)
    : m_search(searchString), m_text(text) {}

void COccurrences::ScanWindow(std::size_t start) {
    // Large enough to keep the four searches long, small enough that a reader who stops
    // early leaves little searched in vain.
    constexpr std::size_t kWindow = 32 * 1024;
    m_found.clear();
    m_nRead = 0;
    m_nWindowStart = start;
    m_nWindowEnd = start + std::min(kWindow, m_text.size() - start);
    m_search.FindAllIn(m_text.data(), m_nWindowStart, m_nWindowEnd, m_text.size(), m_found);
}

std::size_t COccurrences::Next(std::size_t from, std::size_t to) {
    const std::size_t length = m_search.View().size();
    to = std::min(to, m_text.size());
    if (length == 0 || to < length || from > to - length) {
        return std::string_view::npos;
    }
    if (from < m_nWindowStart) {
        return m_search.FindIn(m_text.data(), from, to);
    }
    if (m_nRead > 0 && m_found[m_nRead - 1] >= from) {
        // Back within the window.
        m_nRead = static_cast<std::size_t>(std::lower_bound(m_found.begin(), m_found.end(), from) -
                                           m_found.begin());
    }
    for (;;) {
        if (from >= m_nWindowEnd) {
            ScanWindow(from);
        }
        while (m_nRead < m_found.size() && m_found[m_nRead] < from) {
            ++m_nRead;
        }
        if (m_nRead < m_found.size()) {
            const std::size_t occurrence = m_found[m_nRead];
            return occurrence + length <= to ? occurrence : std::string_view::npos;
        }
        // Nothing more in this window; an occurrence in a later one would end past `to`.
        if (m_nWindowEnd > to - length) {
            return std::string_view::npos;
        }
        from = m_nWindowEnd;
    }
}

int FindEntityBlock(const CSearchString& searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd) {
    // One search: straight from the start offset, with no window searched ahead.
    const std::size_t length = text.size();
    const std::size_t occurrence =
        searchString.FindIn(text.data(), StartOf(startOffset, length), length);
    if (occurrence == std::string_view::npos) {
        return 1;
    }
    const std::size_t close = FindFirstByte(text.data(), occurrence, length, '}');
    const std::size_t open = FindLastByte(text.data(), 0, occurrence + 1, '{');
    if (close == std::string_view::npos || open == std::string_view::npos) {
        return 1;
    }
    blockStart = static_cast<int>(open);
    blockEnd = static_cast<int>(close);
    return 0;
}

int FindEntityBlock(std::string_view searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd) {
    const CSearchString prepared(searchString);
    return FindEntityBlock(prepared, text, startOffset, blockStart, blockEnd);
}

CBlockFinder::CBlockFinder(const CSearchString& searchString, std::string_view text)
    : m_occurrences(searchString, text), m_text(text) {}

std::size_t CBlockFinder::LastOpenBraceUpTo(std::size_t last) {
    if (last + 1 < m_nScanned) {
        return FindLastByte(m_text.data(), 0, last + 1, '{');
    }
    const std::size_t found = FindLastByte(m_text.data(), m_nScanned, last + 1, '{');
    if (found != std::string_view::npos) {
        m_nLastOpen = found;
    }
    m_nScanned = last + 1;
    return m_nLastOpen;
}

int CBlockFinder::Find(int startOffset, int& blockStart, int& blockEnd) {
    const std::size_t length = m_text.size();
    const char* const text = m_text.data();
    const std::size_t occurrence = m_occurrences.Next(StartOf(startOffset, length), length);
    if (occurrence == std::string_view::npos) {
        return 1;
    }
    const std::size_t close = FindFirstByte(text, occurrence, length, '}');
    if (close == std::string_view::npos) {
        return 1;
    }
    const std::size_t open = LastOpenBraceUpTo(occurrence);
    if (open == std::string_view::npos) {
        return 1;
    }
    blockStart = static_cast<int>(open);
    blockEnd = static_cast<int>(close);
    return 0;
}

int CountEntityBlocks(std::string_view className, std::string_view text) {
    const CSearchString prepared(className);
    if (prepared.Empty()) {
        return 0;
    }
    CBlockFinder finder(prepared, text);
    int count = 0;
    int position = 0;
    int blockStart = 0;
    int blockEnd = 0;
    while (finder.Find(position, blockStart, blockEnd) == 0) {
        ++count;
        position = blockEnd + 1;
    }
    return count;
}

}  // namespace entorra
