#pragma once

// Delete All computed in one sweep. The command deletes block after block: each pass finds
// the next block from the search position, selects it with the two characters after its "}",
// deletes the selection and moves the search position back by the selection's length. Done
// literally that costs a length scan and a deletion per block. The plan gives the same passes
// from one forward sweep over the unchanged text, as ranges the editor deletes in one go.

#include <string_view>
#include <vector>

#include "entities/EntityBlocks.h"
#include "entities/EntityEditor.h"

namespace entorra {

struct DeleteAllPlan {
    // Ascending, disjoint, as offsets of the text the plan was made for.
    std::vector<TextRange> ranges;
    int count = 0;           // passes, one block each
    int searchPosition = 0;  // after the last pass
    int caret = 0;           // where the last deleted block stood, in the shortened text
    // The last pass left the search position past the end of the finder's text, so the next
    // pass searches from the beginning, across the places where the deletions joined the
    // text. Apply the ranges and make a new plan for the shortened text.
    bool startsOver = false;
};

// `text` is the editor's whole text, NUL bytes and all: a selection reaches to the end of the
// text, and a deletion that takes away the text's first NUL lets the finder see what follows.
DeleteAllPlan PlanDeleteAll(const CSearchString& searchString, std::string_view text,
                            int searchPosition);

}  // namespace entorra
