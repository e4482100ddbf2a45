#pragma once

// The search commands written as literally as possible, for tests to compare against:
// NUL-terminated text, strlen at every search, strstr, byte-by-byte walks, one erase per
// deleted block. Slow and plain on purpose.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace entorra::testing {

struct ModelBlock {
    bool found = false;
    int start = 0;
    int end = 0;
};

inline ModelBlock ModelFind(const std::string& searchString, const std::string& text,
                            int startOffset) {
    const char* const begin = text.c_str();
    const std::size_t length = std::strlen(begin);
    const std::size_t start =
        static_cast<std::size_t>(startOffset) > length ? 0 : static_cast<std::size_t>(startOffset);
    const char* const hit = std::strstr(begin + start, searchString.c_str());
    if (hit == nullptr) {
        return {};
    }
    const char* open = hit;
    while (*open != '{' && open != begin) {
        --open;
    }
    const char* close = hit;
    while (*close != '}' && *close != '\0') {
        ++close;
    }
    if (*open != '{' || *close != '}') {
        return {};
    }
    return {true, static_cast<int>(open - begin), static_cast<int>(close - begin)};
}

// The dialog's state and commands, spelled out.
struct ModelDialog {
    std::string text;
    int selectionStart = 0;
    int selectionEnd = 0;
    int position = 0;
    bool modified = false;
    std::vector<std::string> messages;
    int passesFromTheTop = 0;  // Delete All passes that a pass before sent back to the top

    void SetSelection(int start, int end) {
        const int size = static_cast<int>(text.size());
        selectionStart = std::min(start, size);
        selectionEnd = std::min(end, size);
    }
    void Delete() {
        position = std::max(0, position + selectionStart - selectionEnd);
        if (selectionEnd > selectionStart) {
            text.erase(static_cast<std::size_t>(selectionStart),
                       static_cast<std::size_t>(selectionEnd - selectionStart));
            modified = true;
        }
        selectionEnd = selectionStart;
    }
    void FindFromPosition(const std::string& searchString) {
        const ModelBlock block = ModelFind(searchString, text, position);
        if (block.found) {
            SetSelection(block.start, block.end + 3);
            position = block.end + 4;
        }
    }
    void DeleteAll(const std::string& searchString) {
        position = 0;
        int count = 0;
        for (;;) {
            const bool fromTheTop = static_cast<std::size_t>(position) > std::strlen(text.c_str());
            const ModelBlock block = ModelFind(searchString, text, position);
            if (!block.found) {
                break;
            }
            passesFromTheTop += fromTheTop && count > 0 ? 1 : 0;
            SetSelection(block.start, block.end + 3);
            position = block.end + 4;
            Delete();
            ++count;
        }
        if (count > 0) {
            messages.push_back(std::to_string(count) + " entities containing the string\n\"" +
                               searchString + "\"\nwere deleted.");
        }
    }
    int Count(const std::string& searchString) {
        int count = 0;
        position = 0;
        for (ModelBlock block = ModelFind(searchString, text, position); block.found;
             block = ModelFind(searchString, text, position)) {
            ++count;
            position = block.end + 1;
        }
        position = 0;
        return count;
    }
};

inline ModelDialog ModelOf(const std::string& text) {
    ModelDialog model;
    model.text = text;
    return model;
}

}  // namespace entorra::testing
