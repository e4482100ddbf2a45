// Lints arbitrary bytes as entity text for every engine profile and checks what the dialog and
// the tool rely on: findings in offset order, inside the text, with lines and columns that
// agree with their offsets.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "entities/EngineLint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace entorra;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::size_t> lineStarts{0};
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n') {
            lineStarts.push_back(i + 1);
        }
    }
    EngineLintOptions options;
    options.players = size > 0 ? data[0] % 40 : 32;
    options.edicts = size > 1 ? data[1] % 64 : 0;
    options.codePage = size > 2 ? static_cast<CodePage>(data[2] % 5) : CodePage::Utf8;
    for (const EngineLimits& limits : kEngineLimits) {
        options.engine = limits.profile;
        const std::vector<EngineFinding> findings = LintForEngine(text, options);
        std::size_t previous = 0;
        for (const EngineFinding& finding : findings) {
            if (finding.offset < previous || finding.offset > size || finding.message.empty()) {
                std::abort();
            }
            previous = finding.offset;
            const auto line =
                std::upper_bound(lineStarts.begin(), lineStarts.end(), finding.offset) -
                lineStarts.begin();
            const std::size_t start = lineStarts[static_cast<std::size_t>(line - 1)];
            if (finding.line != line ||
                finding.column != static_cast<int>(finding.offset - start) + 1) {
                std::abort();
            }
        }
    }
    return 0;
}
