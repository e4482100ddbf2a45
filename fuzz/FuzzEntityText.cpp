// Reads arbitrary bytes as entity text, as lint, import and diff do. The input is two texts
// split at the first byte 0x1E (the second empty without one). Checks that the three ways of
// parsing agree, that every block and pair lies inside the text, that findings come in line
// order, and that diff finds nothing between a text and itself.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "entities/EntityLint.h"
#include "tests/support/MemoryFileSystem.h"

namespace {

using namespace entorra;

class CSilentSink final : public IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool Inside(std::string_view part, std::string_view text) {
    return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
}

void CheckParse(std::string_view text) {
    const ParsedEntityText both = ParseEntityText(text);
    const ParsedEntityText blocks = ParseEntityBlocks(text);
    Require(both.findings == LintEntityText(text));
    Require(blocks.findings.empty());
    Require(both.entities.size() == blocks.entities.size());
    Require(
        std::is_sorted(both.findings.begin(), both.findings.end(),
                       [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; }));
    // A text without a block says so, once, about the whole text.
    const bool noBlock = both.entities.empty();
    Require(std::count_if(both.findings.begin(), both.findings.end(),
                          [](const LintFinding& f) { return f.line == 0; }) == (noBlock ? 1 : 0));

    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    for (const LintFinding& finding : both.findings) {
        Require(finding.line >= 0 && finding.line <= lines && !finding.message.empty());
    }
    std::size_t pairs = 0;
    int line = 0;
    for (std::size_t i = 0; i < both.entities.size(); ++i) {
        const ParsedEntity& entity = both.entities[i];
        Require(entity.line >= line && entity.line <= lines);
        line = entity.line;
        Require(entity.keys.size() == blocks.entities[i].keys.size());
        for (const EntityKeyValue& pair : entity.keys) {
            Require(Inside(pair.key, text) && Inside(pair.value, text));
            Require(pair.key.find_first_of(std::string_view("\"\n\0", 3)) ==
                    std::string_view::npos);
            Require(pair.value.find('"') == std::string_view::npos);
            Require(pair.line >= entity.line && pair.line <= lines);
            ++pairs;
        }
    }
    Require(pairs == both.pairs.size());
}

std::string Diff(testing::CMemoryFileSystem& files, const std::string& left,
                 const std::string& right) {
    std::ostringstream out;
    CSilentSink sink;
    cli::CommandContext context{out, sink, files};
    Require(cli::RunDiff(context, left, right) == 0);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\x1e');
    const std::string_view first = input.substr(0, split);
    const std::string_view second =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    CheckParse(first);
    CheckParse(second);

    testing::CMemoryFileSystem files;
    files.files["a.ent"].assign(first.begin(), first.end());
    files.files["b.ent"].assign(second.begin(), second.end());
    const std::string same = Diff(files, "a.ent", "a.ent");
    Require(same.ends_with(": 0 added, 0 removed, 0 changed\n"));
    Diff(files, "a.ent", "b.ent");
    return 0;
}
