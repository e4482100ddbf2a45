#include "entities/DeleteAllPlan.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace entorra {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// A stretch of the original text that the passes so far have kept, and where it now stands.
struct KeptPiece {
    std::size_t from;  // offset in the original text
    std::size_t length;
    std::size_t at;  // offset in the shortened text
};

}  // namespace

DeleteAllPlan PlanDeleteAll(const CSearchString& searchString, std::string_view text,
                            int searchPosition) {
    // The shortened text is the kept pieces followed by the untouched rest, text[tail, size).
    // A pass finds its occurrence and its "}" behind the search position, which after a
    // deletion stands one past the kept pieces, so both lie in the untouched rest; only the
    // walk to the "{" may go back into the kept pieces.
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::vector<KeptPiece> pieces;
    std::size_t kept = 0;
    std::size_t tail = 0;
    std::size_t nul = std::min(FindFirstByte(data, 0, size, '\0'), size);
    std::int64_t position = searchPosition;
    COccurrences occurrences(searchString, text);

    DeleteAllPlan plan;
    for (;;) {
        const std::size_t length = kept + (nul - tail);  // the finder's length scan
        std::size_t start = 0;
        if (position < 0 || static_cast<std::uint64_t>(position) > length) {
            if (plan.count > 0) {
                plan.startsOver = true;
                break;
            }
        } else {
            start = static_cast<std::size_t>(position);
        }

        const std::size_t occurrence = occurrences.Next(tail + (start - kept), nul);
        if (occurrence == npos) {
            break;
        }
        const std::size_t close = FindFirstByte(data, occurrence, nul, '}');
        if (close == npos) {
            break;
        }
        std::size_t open = FindLastByte(data, tail, occurrence + 1, '{');
        std::size_t openAt = 0;
        std::size_t piece = pieces.size();  // the piece holding the "{", or size for the rest
        if (open != npos) {
            openAt = kept + (open - tail);
        } else {
            while (piece > 0) {
                --piece;
                const KeptPiece& candidate = pieces[piece];
                open = FindLastByte(data, candidate.from, candidate.from + candidate.length, '{');
                if (open != npos) {
                    break;
                }
            }
            if (open == npos) {
                break;
            }
            openAt = pieces[piece].at + (open - pieces[piece].from);
        }

        // The pass's arithmetic, in offsets of the shortened text.
        const std::size_t closeAt = kept + (close - tail);
        const std::size_t currentSize = kept + (size - tail);
        const std::size_t selectionEnd = std::min(closeAt + 3, currentSize);
        position = static_cast<std::int64_t>(closeAt) + 4 + static_cast<std::int64_t>(openAt) -
                   static_cast<std::int64_t>(selectionEnd);
        position = std::max<std::int64_t>(position, 0);

        // The deletion [openAt, selectionEnd).
        if (piece == pieces.size()) {
            if (open > tail) {
                pieces.push_back({tail, open - tail, kept});
            }
        } else {
            pieces.resize(piece + 1);
            pieces.back().length = open - pieces.back().from;
            if (pieces.back().length == 0) {
                pieces.pop_back();
            }
        }
        kept = openAt;
        tail = std::min(close + 3, size);
        if (tail > nul) {
            // The deletion took the NUL that ended the finder's text.
            nul = std::min(FindFirstByte(data, tail, size, '\0'), size);
        }
        ++plan.count;
        plan.caret = static_cast<int>(openAt);
    }
    plan.searchPosition = static_cast<int>(position);

    std::size_t cursor = 0;
    for (const KeptPiece& piece : pieces) {
        if (piece.from > cursor) {
            plan.ranges.push_back({static_cast<int>(cursor), static_cast<int>(piece.from)});
        }
        cursor = piece.from + piece.length;
    }
    if (tail > cursor) {
        plan.ranges.push_back({static_cast<int>(cursor), static_cast<int>(tail)});
    }
    return plan;
}

}  // namespace entorra
