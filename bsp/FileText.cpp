#include "bsp/FileText.h"

#include "base/TextReplace.h"

namespace entorra {

void PrepareFileText(std::string& editorText) {
    ReplaceAll(editorText, "\r\n", "\n");
    const std::size_t lastBrace = editorText.rfind('}');
    if (lastBrace == std::string::npos) {
        editorText.clear();
    } else {
        editorText.resize(lastBrace + 1);
        const std::size_t firstBrace = editorText.find('{');
        if (firstBrace != std::string::npos) {
            editorText.erase(0, firstBrace);
        }
    }
    editorText.push_back('\n');
}

}  // namespace entorra
