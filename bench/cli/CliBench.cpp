// entorra-cli over a folder of 1,000 generated maps (about 100 MiB), run in-process with the
// default number of jobs, each beside the plain file work it is judged against in the same run:
// census against reading every file once, delete-all against copying every file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "bsp/BspFormat.h"
#include "cli/AllocatorTuning.h"
#include "cli/Commands.h"
#include "folders/MapList.h"
#include "tests/fixtures/MapBuilder.h"

namespace {

using namespace entorra;
using namespace entorra::bench;
namespace fs = std::filesystem;

constexpr int kMaps = 1000;

// About 100 KiB each, sizes varying a little: lighting and textures, and an entity text of
// 150 to 250 blocks in which every fifth block is an armoury_entity.
const std::vector<fixtures::Bytes>& MapImages() {
    static const std::vector<fixtures::Bytes> images = [] {
        std::vector<fixtures::Bytes> all;
        for (int i = 0; i < kMaps; ++i) {
            const auto seed = static_cast<std::uint32_t>(i);
            all.push_back(
                fixtures::CMapBuilder()
                    .Lump(LUMP_LIGHTING, fixtures::PatternBytes(70000 + 13 * seed % 20000, seed))
                    .Lump(LUMP_TEXTURES, fixtures::PatternBytes(12000, seed + 1))
                    .EntityText(fixtures::MakeEntityText(150 + i % 100))
                    .Align(4)
                    .Build());
        }
        return all;
    }();
    return images;
}

std::vector<std::string> WriteMaps(const fs::path& folder) {
    fs::create_directories(folder);
    std::vector<std::string> paths;
    const auto& images = MapImages();
    for (int i = 0; i < kMaps; ++i) {
        paths.push_back((folder / ("map" + std::to_string(1000 + i) + ".bsp")).string());
        fixtures::WriteFileBytes(paths.back(), images[static_cast<std::size_t>(i)]);
    }
    return paths;
}

const std::vector<std::string>& Maps() {
    static const std::vector<std::string> paths = WriteMaps(BenchFolder() / "cli-maps");
    return paths;
}

std::int64_t TotalBytes() {
    std::int64_t total = 0;
    for (const auto& image : MapImages()) {
        total += static_cast<std::int64_t>(image.size());
    }
    return total;
}

unsigned DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

// The command context of the tool: default jobs, output swallowed, the tool's allocator set-up.
cli::CommandContext ToolContext(std::ostream& out, IMessageSink& sink) {
    static const bool tuned = [] {
        cli::TuneAllocatorForBatches();
        return true;
    }();
    (void)tuned;
    cli::CommandContext context{out, sink};
    context.jobs = DefaultJobs();
    return context;
}

// Baseline: every file read once into a buffer, as cat to /dev/null does.
void BM_Baseline_ReadEveryMap(benchmark::State& state) {
    std::vector<char> buffer(128 * 1024);
    Maps();
    for (auto _ : state) {
        for (const std::string& path : Maps()) {
            const int descriptor = ::open(path.c_str(), O_RDONLY);
            while (::read(descriptor, buffer.data(), buffer.size()) > 0) {
            }
            ::close(descriptor);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_Baseline_ReadEveryMap)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the real cat, process start included.
void BM_Baseline_CatToDevNull(benchmark::State& state) {
    const std::string command =
        "cat '" + (BenchFolder() / "cli-maps").string() + "'/*.bsp >/dev/null";
    Maps();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cat failed");
        }
    }
}
BENCHMARK(BM_Baseline_CatToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CensusFolder(benchmark::State& state) {
    CSilentSink sink;
    CNullBuffer nothing;
    std::ostream out(&nothing);
    const cli::CommandContext context = ToolContext(out, sink);
    const std::vector<std::string> folder{(BenchFolder() / "cli-maps").string()};
    Maps();
    for (auto _ : state) {
        if (cli::RunCensus(context, folder) != 0) {
            state.SkipWithError("census failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_CensusFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void CopyFile(const std::string& from, const std::string& to, std::vector<char>& buffer,
              bool flush) {
    const int input = ::open(from.c_str(), O_RDONLY);
    const int output = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t got = 0;
    while ((got = ::read(input, buffer.data(), buffer.size())) > 0) {
        if (::write(output, buffer.data(), static_cast<std::size_t>(got)) != got) {
            break;
        }
    }
    if (flush) {
        ::fsync(output);
    }
    ::close(input);
    ::close(output);
}

// Baseline: every map copied to a new file, as cp does (range(0) = 1: each copy flushed to
// disk as well, as a safe save must).
void BM_Baseline_CopyEveryMap(benchmark::State& state) {
    const bool flush = state.range(0) != 0;
    const fs::path target = BenchFolder() / "cli-copies";
    fs::create_directories(target);
    std::vector<std::string> copies;
    for (const std::string& path : Maps()) {
        copies.push_back((target / fs::path(path).filename()).string());
    }
    std::vector<char> buffer(128 * 1024);
    for (auto _ : state) {
        for (std::size_t i = 0; i < copies.size(); ++i) {
            CopyFile(Maps()[i], copies[i], buffer, flush);
        }
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_Baseline_CopyEveryMap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// delete-all armoury_entity over the folder: every map changes and is saved. range(0): jobs,
// 0 for the default; saves wait on the disk's flushes, which more jobs overlap.
void BM_DeleteAllFolder(benchmark::State& state) {
    CSilentSink sink;
    CNullBuffer nothing;
    std::ostream out(&nothing);
    cli::CommandContext context = ToolContext(out, sink);
    if (state.range(0) != 0) {
        context.jobs = static_cast<unsigned>(state.range(0));
    }
    const fs::path folder = BenchFolder() / "cli-delete";
    const std::vector<std::string> operands{folder.string()};
    MapImages();
    for (auto _ : state) {
        state.PauseTiming();
        WriteMaps(folder);
        state.ResumeTiming();
        if (cli::RunDeleteAll(context, "armoury_entity", operands, {}) != 0) {
            state.SkipWithError("delete-all failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_DeleteAllFolder)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
