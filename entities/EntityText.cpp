#include "entities/EntityText.h"

#include <cstring>

namespace entorra {

std::string MakeEditorText(std::string_view entityText) {
    const std::size_t lastBrace = entityText.rfind('}');
    const std::string_view kept = lastBrace == std::string_view::npos
                                      ? std::string_view{}
                                      : entityText.substr(0, lastBrace + 1);

    // CR LF pairs to LF and then every LF to CR LF, in one pass: each LF ends up with exactly
    // one CR of its own in front of it, and every other CR stays where it is.
    std::string editor;
    editor.reserve(kept.size() + kept.size() / 16 + 2);
    const char* const begin = kept.data();
    const char* const end = begin + kept.size();
    const char* segment = begin;
    while (segment < end) {
        const auto* lineFeed = static_cast<const char*>(
            std::memchr(segment, '\n', static_cast<std::size_t>(end - segment)));
        if (lineFeed == nullptr) {
            editor.append(segment, end);
            break;
        }
        editor.append(segment, lineFeed);
        if (lineFeed == begin || lineFeed[-1] != '\r') {
            editor.push_back('\r');
        }
        editor.push_back('\n');
        segment = lineFeed + 1;
    }
    editor.append("\r\n");
    return editor;
}

}  // namespace entorra
