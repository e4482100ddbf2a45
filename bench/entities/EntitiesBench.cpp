// The entity commands on an entity text of about 1 MiB in which 10,000 blocks match, each
// beside a plain pass over the same bytes (memchr, memcpy) run in the same program, so that
// the figures compare as ratios on any machine.

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/MessageSink.h"
#include "entities/EngineLint.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/FindSequence.h"
#include "entities/MemoryEditor.h"
#include "tests/entities/EntityModel.h"

namespace entorra {
namespace {

constexpr std::size_t kTextSize = 1 << 20;
constexpr int kMatchingBlocks = 10000;
constexpr const char* kClass = "info_player_deathmatch";

// About textSize bytes with the given line end: worldspawn, then the matching blocks spread
// evenly with small blocks of other classes between them.
std::string BuildText(const std::string& lineEnd, std::size_t textSize = kTextSize,
                      int matchingBlocks = kMatchingBlocks) {
    static const char* const kOthers[] = {"light", "info_target", "func_wall", "env_sprite"};
    const auto line = [&lineEnd](const std::string& text) { return text + lineEnd; };
    std::string text = line("{") + line("\"classname\" \"worldspawn\"") + line("}");
    text.reserve(textSize + 256);
    int other = 0;
    for (int block = 0; block < matchingBlocks; ++block) {
        text += line("{") + line("\"origin\" \"" + std::to_string(block % 4096) + " 0 36\"") +
                line("\"angles\" \"0 " + std::to_string(block % 360) + " 0\"") +
                line("\"classname\" \"" + std::string(kClass) + "\"") + line("}");
        const std::size_t share = textSize / static_cast<std::size_t>(matchingBlocks) *
                                  static_cast<std::size_t>(block + 1);
        while (text.size() + 40 < share) {
            text += line("{") +
                    line("\"classname\" \"" + std::string(kOthers[other++ % 4]) + "\"") + line("}");
        }
    }
    return text;
}

const std::string& FileText() {
    static const std::string text = BuildText("\n");
    return text;
}

const std::string& EditorText() {
    static const std::string text = MakeEditorText(BuildText("\r\n"));
    return text;
}

class CNullSink final : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { last = text; }
    std::string last;
};

// Baseline: one memchr pass counting the "{" of the editor text.
void BM_Baseline_MemchrCountBraces(benchmark::State& state) {
    const std::string& text = EditorText();
    for (auto _ : state) {
        std::size_t count = 0;
        const char* at = text.data();
        const char* const end = at + text.size();
        while (const void* found = std::memchr(at, '{', static_cast<std::size_t>(end - at))) {
            ++count;
            at = static_cast<const char*>(found) + 1;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Baseline_MemchrCountBraces);

void BM_CountEntityBlocks(benchmark::State& state) {
    CMemoryEditor editor(EditorText());
    CFixedSearchString source;
    CNullSink sink;
    CEntitySearch search(editor, source, sink);
    if (search.CountEntityBlocks(kClass) != kMatchingBlocks) {
        state.SkipWithError("the text does not hold the matching blocks");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(search.CountEntityBlocks(kClass));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(EditorText().size()));
}
BENCHMARK(BM_CountEntityBlocks);

// Baseline: one memcpy of the editor text.
void BM_Baseline_MemcpyEditorText(benchmark::State& state) {
    const std::string& text = EditorText();
    std::vector<char> target(text.size());
    for (auto _ : state) {
        std::memcpy(target.data(), text.data(), text.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Baseline_MemcpyEditorText);

void BM_DeleteAll(benchmark::State& state) {
    CMemoryEditor editor;
    CFixedSearchString source(kClass);
    CNullSink sink;
    CEntitySearch search(editor, source, sink);
    const std::string expected = std::to_string(kMatchingBlocks) + " entities";
    for (auto _ : state) {
        state.PauseTiming();
        editor.SetText(EditorText());
        state.ResumeTiming();
        search.OnDeleteAll();
    }
    if (sink.last.rfind(expected, 0) != 0) {
        state.SkipWithError("Delete All did not delete every matching block");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(EditorText().size()));
}
BENCHMARK(BM_DeleteAll);

// For scale: the passes done literally, a length scan and a deletion per block.
void BM_DeleteAllPassByPass(benchmark::State& state) {
    for (auto _ : state) {
        testing::ModelDialog model = testing::ModelOf(EditorText());
        model.DeleteAll(kClass);
        benchmark::DoNotOptimize(model.text.data());
    }
}
BENCHMARK(BM_DeleteAllPassByPass)->Iterations(1)->Unit(benchmark::kMillisecond);

// Baseline: one memcpy of the file text.
void BM_Baseline_MemcpyFileText(benchmark::State& state) {
    const std::string& text = FileText();
    std::vector<char> target(text.size());
    for (auto _ : state) {
        std::memcpy(target.data(), text.data(), text.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Baseline_MemcpyFileText);

void BM_MakeEditorText(benchmark::State& state) {
    const std::string& text = FileText();
    for (auto _ : state) {
        std::string editor = MakeEditorText(text);
        benchmark::DoNotOptimize(editor.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MakeEditorText);

// The census and the engine lint of the same 2 MiB editor text: the dialog lints after a pause
// in typing, so the lint may take at most three times what showing a map's census takes.
const std::string& LargeEditorText() {
    static const std::string text =
        MakeEditorText(BuildText("\r\n", 2 * kTextSize, 2 * kMatchingBlocks));
    return text;
}

void BM_Census_2MiB(benchmark::State& state) {
    CMemoryEditor editor(LargeEditorText());
    CFixedSearchString source;
    CNullSink sink;
    CEntitySearch search(editor, source, sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search.CountEntityBlocks("info_vip_start"));
        benchmark::DoNotOptimize(search.CountEntityBlocks("info_player_start"));
        benchmark::DoNotOptimize(search.CountEntityBlocks("info_player_deathmatch"));
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(LargeEditorText().size()));
}
BENCHMARK(BM_Census_2MiB);

void BM_EngineLint_2MiB(benchmark::State& state) {
    const std::string& text = LargeEditorText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(LintForEngine(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_EngineLint_2MiB);

// find over texts of 10,000 to 80,000 matching blocks (about 100 bytes apart): the Find and
// Find Next run of entorra-cli find, beside the census count of the same text.
const std::string& FindText(int matchingBlocks) {
    static std::map<int, std::string> texts;
    auto& text = texts[matchingBlocks];
    if (text.empty()) {
        text = MakeEditorText(
            BuildText("\n", static_cast<std::size_t>(matchingBlocks) * 104, matchingBlocks));
    }
    return text;
}

void BM_CountEntityBlocks_FindText(benchmark::State& state) {
    CMemoryEditor editor(FindText(static_cast<int>(state.range(0))));
    CFixedSearchString source;
    CNullSink sink;
    CEntitySearch search(editor, source, sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search.CountEntityBlocks(kClass));
    }
}
BENCHMARK(BM_CountEntityBlocks_FindText)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond);

void BM_FindSelections(benchmark::State& state) {
    const auto matching = static_cast<std::size_t>(state.range(0));
    const std::string& text = FindText(static_cast<int>(matching));
    if (FindSelections(kClass, text).size() != matching) {
        state.SkipWithError("find does not select every matching block");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindSelections(kClass, text));
    }
}
BENCHMARK(BM_FindSelections)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond);

// For scale: Find Next by Find Next, each a fresh search of the text.
void BM_FindNextOneByOne(benchmark::State& state) {
    for (auto _ : state) {
        CMemoryEditor editor(FindText(static_cast<int>(state.range(0))));
        CFixedSearchString source(kClass);
        CNullSink sink;
        CEntitySearch search(editor, source, sink);
        int found = 0;
        if (search.FindFromPosition()) {
            const TextSelection first = editor.GetSelection();
            ++found;
            while (search.FindFromPosition() && editor.GetSelection() != first) {
                ++found;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindNextOneByOne)
    ->Arg(10000)
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace entorra
