// The entity commands on an entity text of about 1 MiB in which 10,000 blocks match, each
// beside a plain pass over the same bytes (memchr, memcpy) run in the same program, so that
// the figures compare as ratios on any machine.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/MessageSink.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"
#include "tests/entities/EntityModel.h"

namespace entorra {
namespace {

constexpr std::size_t kTextSize = 1 << 20;
constexpr int kMatchingBlocks = 10000;
constexpr const char* kClass = "info_player_deathmatch";

// About kTextSize bytes with the given line end: worldspawn, then the matching blocks spread
// evenly with small blocks of other classes between them.
std::string BuildText(const std::string& lineEnd) {
    static const char* const kOthers[] = {"light", "info_target", "func_wall", "env_sprite"};
    const auto line = [&lineEnd](const std::string& text) { return text + lineEnd; };
    std::string text = line("{") + line("\"classname\" \"worldspawn\"") + line("}");
    text.reserve(kTextSize + 256);
    int other = 0;
    for (int block = 0; block < kMatchingBlocks; ++block) {
        text += line("{") + line("\"origin\" \"" + std::to_string(block % 4096) + " 0 36\"") +
                line("\"angles\" \"0 " + std::to_string(block % 360) + " 0\"") +
                line("\"classname\" \"" + std::string(kClass) + "\"") + line("}");
        const std::size_t share = kTextSize / kMatchingBlocks * static_cast<std::size_t>(block + 1);
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

}  // namespace
}  // namespace entorra
