#include "base/TextReplace.h"

namespace entorra {

int ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return 0;
    }
    std::size_t found = text.find(from);
    if (found == std::string::npos) {
        return 0;
    }
    std::string result;
    result.reserve(to.size() > from.size() ? text.size() + text.size() / 8 : text.size());
    int count = 0;
    std::size_t copied = 0;
    while (found != std::string::npos) {
        result.append(text, copied, found - copied);
        result.append(to);
        copied = found + from.size();
        ++count;
        found = text.find(from, copied);
    }
    result.append(text, copied, std::string::npos);
    text.swap(result);
    return count;
}

}  // namespace entorra
