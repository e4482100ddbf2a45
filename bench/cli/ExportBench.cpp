// Reading one big map: a 64 MiB map whose entity lump is about 1 MiB. The reading commands
// read its header and entity lump, not the map: reading its entity text should stay within
// twice a plain read of those two, and export (which also writes the text to a flushed file)
// within twice that plain read followed by the same write. Reading the whole file and show
// are there to compare.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "cli/Commands.h"
#include "tests/fixtures/MapBuilder.h"

namespace {

using namespace entorra;
using namespace entorra::bench;
namespace fs = std::filesystem;

fs::path Folder() {
    return BenchFolder("big-map");
}

// Textures embedded in the map make up most of it, as in maps built with wad inclusion.
const std::string& BigMap() {
    static const std::string path = [] {
        const std::string file = (Folder() / "big.bsp").string();
        const fixtures::Bytes image = fixtures::CMapBuilder()
                                          .EntityText(fixtures::MakeEntityText(20000))
                                          .Lump(LUMP_PLANES, fixtures::MakePlanes(20000))
                                          .Lump(LUMP_LIGHTING, fixtures::PatternBytes(8 << 20, 3))
                                          .Lump(LUMP_TEXTURES, fixtures::PatternBytes(55 << 20, 4))
                                          .Order(fixtures::CompilerLumpOrder())
                                          .Align(4)
                                          .Build();
        fixtures::WriteFileBytes(file, image);
        return file;
    }();
    return path;
}

// The plain read the commands are judged against: the header, then the entity lump it names,
// with two reads.
void ReadHeaderAndEntityLump(benchmark::State& state, const std::string& path,
                             std::vector<char>& lump) {
    std::vector<std::uint8_t> header(kHeaderSize);
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (::pread(descriptor, header.data(), header.size(), 0) !=
        static_cast<ssize_t>(header.size())) {
        state.SkipWithError("short read");
    }
    const auto offset = ReadInt32LE(header, LumpOffsetField(LUMP_ENTITIES));
    const auto length = ReadInt32LE(header, LumpLengthField(LUMP_ENTITIES));
    lump.resize(static_cast<std::size_t>(length));
    benchmark::DoNotOptimize(::pread(descriptor, lump.data(), lump.size(), offset));
    ::close(descriptor);
}

void BM_Baseline_ReadHeaderAndEntityLump(benchmark::State& state) {
    std::vector<char> lump;
    const std::string& path = BigMap();
    for (auto _ : state) {
        ReadHeaderAndEntityLump(state, path, lump);
        benchmark::DoNotOptimize(lump.data());
    }
}
BENCHMARK(BM_Baseline_ReadHeaderAndEntityLump)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline for export as a whole: the same plain read, then the lump written to a new file
// beside the map, flushed and renamed into place, as any careful writer does.
void BM_Baseline_ReadHeaderAndEntityLumpAndWriteIt(benchmark::State& state) {
    std::vector<char> lump;
    const std::string& path = BigMap();
    const std::string temporary = path + ".baseline.tmp";
    const std::string target = path + ".baseline.ent";
    for (auto _ : state) {
        ReadHeaderAndEntityLump(state, path, lump);
        const int output = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(::write(output, lump.data(), lump.size()));
        ::fsync(output);
        ::close(output);
        std::rename(temporary.c_str(), target.c_str());
    }
}
BENCHMARK(BM_Baseline_ReadHeaderAndEntityLumpAndWriteIt)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What every reading command does first: the map's entity text, read and inspected.
void BM_ReadMapEntityText(benchmark::State& state) {
    const std::string& path = BigMap();
    for (auto _ : state) {
        const Result<MapExcerpt> read = ReadMapEntityText(RealFileSystem(), path);
        if (!read) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(read->EntityText().data());
    }
}
BENCHMARK(BM_ReadMapEntityText)->Unit(benchmark::kMillisecond)->UseRealTime();

// What reading the map whole costs, as the commands did.
void BM_Baseline_ReadWholeMap(benchmark::State& state) {
    const std::string& path = BigMap();
    std::vector<char> buffer(fs::file_size(path));
    for (auto _ : state) {
        const int descriptor = ::open(path.c_str(), O_RDONLY);
        benchmark::DoNotOptimize(::read(descriptor, buffer.data(), buffer.size()));
        ::close(descriptor);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_Baseline_ReadWholeMap)->Unit(benchmark::kMillisecond)->UseRealTime();

// A command on the big map, in-process, its output swallowed.
template <typename Command>
void RunOnBigMap(benchmark::State& state, Command&& command) {
    const std::string& path = BigMap();
    CNullBuffer nothing;
    std::ostream out(&nothing);
    CSilentSink sink;
    cli::CommandContext context{out, sink};
    for (auto _ : state) {
        if (command(context, path) != 0) {
            state.SkipWithError("the command failed");
        }
    }
}

// export writes big.ent beside the map, flushed.
void BM_ExportBigMap(benchmark::State& state) {
    RunOnBigMap(state, [](const cli::CommandContext& context, const std::string& path) {
        return cli::RunExport(context, {path}, "", cli::ExportForm::Lump);
    });
}
BENCHMARK(BM_ExportBigMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowBigMap(benchmark::State& state) {
    RunOnBigMap(state, [](const cli::CommandContext& context, const std::string& path) {
        return cli::RunShow(context, {path});
    });
}
BENCHMARK(BM_ShowBigMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
