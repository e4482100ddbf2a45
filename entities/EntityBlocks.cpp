#include "entities/EntityBlocks.h"

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
        if (tail == last && std::memcmp(text + at, needle, length - 1) == 0) {
            return at;
        }
        at += m_skip[static_cast<unsigned char>(tail)];
    }
    return std::string_view::npos;
}

int FindEntityBlock(const CSearchString& searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd) {
    CBlockFinder finder(searchString, text);
    return finder.Find(startOffset, blockStart, blockEnd);
}

int FindEntityBlock(std::string_view searchString, std::string_view text, int startOffset,
                    int& blockStart, int& blockEnd) {
    const CSearchString prepared(searchString);
    return FindEntityBlock(prepared, text, startOffset, blockStart, blockEnd);
}

CBlockFinder::CBlockFinder(const CSearchString& searchString, std::string_view text)
    : m_search(searchString), m_text(text) {}

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
    const std::size_t occurrence = m_search.FindIn(text, StartOf(startOffset, length), length);
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

}  // namespace entorra
