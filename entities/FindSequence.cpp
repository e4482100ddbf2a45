#include "entities/FindSequence.h"

#include <algorithm>

#include "entities/EntityBlocks.h"

namespace entorra {

std::vector<TextSelection> FindSelections(std::string_view searchString,
                                          std::string_view editorText) {
    std::vector<TextSelection> selections;
    const std::string_view search = TextBeforeNul(searchString);
    if (search.empty()) {
        return selections;
    }
    const CSearchString prepared(search);
    CBlockFinder finder(prepared, TextBeforeNul(editorText));
    // The editor limits a selection to its text.
    const auto limited = [&editorText](int offset) {
        return static_cast<int>(std::min(static_cast<std::size_t>(offset), editorText.size()));
    };
    int position = 0;
    int blockStart = 0;
    int blockEnd = 0;
    while (finder.Find(position, blockStart, blockEnd) == 0) {
        const TextSelection selection{limited(blockStart), limited(blockEnd + 3)};
        if (!selections.empty() && selection == selections.front()) {
            break;
        }
        selections.push_back(selection);
        position = blockEnd + 4;
    }
    return selections;
}

}  // namespace entorra
