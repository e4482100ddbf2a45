// diff and check on large entity texts, each beside reading the same files and counting a byte
// in them, run in the same program so the figures compare as ratios on any machine. Two sizes
// of each show how the time grows with the text: four times the text, four times the time.
//
// - Maps whose entity texts are 25 and 100 MB, the second an edited copy of the first (a value
//   changed in every 7th block, every 13th block gone, a block added after every 11th).
// - Entity files of 1 Mi and 4 Mi "{" in a row: every brace opens a block inside the last one.
// - check (the engine lint) of a 32 MiB entity file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "cli/Commands.h"
#include "tests/fixtures/MapBuilder.h"

namespace {

using namespace entorra;
using namespace entorra::bench;
namespace fs = std::filesystem;

fs::path DiffFolder() {
    return BenchFolder("diff");
}

void WriteText(const fs::path& path, const std::string& text) {
    fixtures::WriteFileBytes(path.string(), fixtures::Bytes(text.begin(), text.end()));
}

// The two maps of a size in MB: the original and its edited copy.
std::pair<std::string, std::string> MapPair(std::int64_t megabytes) {
    static std::map<std::int64_t, std::pair<std::string, std::string>> made;
    auto found = made.find(megabytes);
    if (found == made.end()) {
        const auto bytes = static_cast<std::size_t>(megabytes) * 1000 * 1000;
        std::pair<std::string, std::string> paths;
        for (int revision = 0; revision < 2; ++revision) {
            const fs::path path = DiffFolder() / ("text" + std::to_string(megabytes) + "-" +
                                                  std::to_string(revision) + ".bsp");
            fixtures::WriteFileBytes(path.string(),
                                     fixtures::CMapBuilder()
                                         .EntityText(fixtures::MakeLargeEntityText(bytes, revision))
                                         .Align(4)
                                         .Build());
            (revision == 0 ? paths.first : paths.second) = path.string();
        }
        found = made.emplace(megabytes, paths).first;
    }
    return found->second;
}

// An entity file of Mi braces, both sides of the diff reading the same file.
std::string BracesFile(std::int64_t mebibraces) {
    const fs::path path = DiffFolder() / ("braces" + std::to_string(mebibraces) + ".ent");
    if (!fs::exists(path)) {
        WriteText(path, std::string(static_cast<std::size_t>(mebibraces) << 20, '{'));
    }
    return path.string();
}

std::string LargeEntityFile() {
    const fs::path path = DiffFolder() / "large.ent";
    if (!fs::exists(path)) {
        WriteText(path, fixtures::MakeLargeEntityText(std::size_t{32} << 20));
    }
    return path.string();
}

// Reads the file whole into one buffer, as the map and entity file readers do, and counts c.
std::int64_t ReadAndCount(const std::string& path, char c) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    const auto size = static_cast<std::size_t>(::lseek(descriptor, 0, SEEK_END));
    ::lseek(descriptor, 0, SEEK_SET);
    std::string bytes(size, '\0');
    std::size_t got = 0;
    ssize_t part = 0;
    while (got < size && (part = ::read(descriptor, bytes.data() + got, size - got)) > 0) {
        got += static_cast<std::size_t>(part);
    }
    ::close(descriptor);
    return std::count(bytes.begin(), bytes.end(), c);
}

std::int64_t FileBytes(const std::string& path) {
    return static_cast<std::int64_t>(fs::file_size(path));
}

int RunQuiet(const std::function<int(const cli::CommandContext&)>& command) {
    CSilentSink sink;
    CNullBuffer nothing;
    std::ostream out(&nothing);
    const cli::CommandContext context{out, sink};
    return command(context);
}

// Baseline: both maps read and their lines counted.
void BM_Baseline_ReadMapsCountLines(benchmark::State& state) {
    const auto [left, right] = MapPair(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadAndCount(left, '\n') + ReadAndCount(right, '\n'));
    }
    state.SetBytesProcessed(state.iterations() * (FileBytes(left) + FileBytes(right)));
}
BENCHMARK(BM_Baseline_ReadMapsCountLines)
    ->Arg(25)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DiffMaps(benchmark::State& state) {
    const auto [left, right] = MapPair(state.range(0));
    for (auto _ : state) {
        if (RunQuiet([&](const auto& context) { return cli::RunDiff(context, left, right); }) !=
            0) {
            state.SkipWithError("diff failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * (FileBytes(left) + FileBytes(right)));
}
BENCHMARK(BM_DiffMaps)->Arg(25)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the braces file read twice and its braces counted.
void BM_Baseline_ReadBracesCount(benchmark::State& state) {
    const std::string file = BracesFile(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadAndCount(file, '{') + ReadAndCount(file, '{'));
    }
    state.SetBytesProcessed(state.iterations() * 2 * FileBytes(file));
}
BENCHMARK(BM_Baseline_ReadBracesCount)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DiffNestedBraces(benchmark::State& state) {
    const std::string file = BracesFile(state.range(0));
    for (auto _ : state) {
        if (RunQuiet([&](const auto& context) { return cli::RunDiff(context, file, file); }) != 0) {
            state.SkipWithError("diff failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * 2 * FileBytes(file));
}
BENCHMARK(BM_DiffNestedBraces)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the entity file read and its lines counted.
void BM_Baseline_ReadEntityFileCountLines(benchmark::State& state) {
    const std::string file = LargeEntityFile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadAndCount(file, '\n'));
    }
    state.SetBytesProcessed(state.iterations() * FileBytes(file));
}
BENCHMARK(BM_Baseline_ReadEntityFileCountLines)->Unit(benchmark::kMillisecond)->UseRealTime();

// Its thousands of blocks are more than an engine has edicts: check fails it, having read it all.
void BM_CheckEntityFile(benchmark::State& state) {
    const std::string file = LargeEntityFile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            RunQuiet([&](const auto& context) { return cli::RunCheck(context, {file}); }));
    }
    state.SetBytesProcessed(state.iterations() * FileBytes(file));
}
BENCHMARK(BM_CheckEntityFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
