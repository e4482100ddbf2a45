// Reading one big map: export (and show, which the reading commands share the reading of) from
// a 64 MiB map whose entity lump is about 1 MiB, beside a plain read of that map's header and
// entity lump, and beside reading the whole file, in the same run. The reading commands read
// the header and the entity lump, not the map: export should stay within twice the plain read.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "bsp/BspFormat.h"
#include "cli/Commands.h"
#include "tests/fixtures/MapBuilder.h"

namespace {

using namespace entorra;
namespace fs = std::filesystem;

class CSilentSink final : public IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

class CNullBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

fs::path Folder() {
    const char* configured = std::getenv("ENTORRA_BENCH_DIR");
    const fs::path folder =
        (configured != nullptr ? fs::path(configured) : fs::temp_directory_path() / "entorra-bench") /
        "big-map";
    fs::create_directories(folder);
    return folder;
}

// Textures embedded in the map make up most of it, as in maps built with wad inclusion.
const std::string& BigMap() {
    static const std::string path = [] {
        const std::string file = (Folder() / "big.bsp").string();
        const fixtures::Bytes image =
            fixtures::CMapBuilder()
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

// Baseline: the header, then the entity lump it names, read with two reads.
void BM_Baseline_ReadHeaderAndEntityLump(benchmark::State& state) {
    std::vector<std::uint8_t> header(kHeaderSize);
    std::vector<char> lump;
    const std::string& path = BigMap();
    for (auto _ : state) {
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
        benchmark::DoNotOptimize(lump.data());
    }
}
BENCHMARK(BM_Baseline_ReadHeaderAndEntityLump)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// export --form lump to stdout is not a thing: it writes big.ent beside the map, flushed.
void BM_ExportBigMap(benchmark::State& state) {
    const std::string& path = BigMap();
    CNullBuffer nothing;
    std::ostream out(&nothing);
    CSilentSink sink;
    cli::CommandContext context{out, sink};
    for (auto _ : state) {
        if (cli::RunExport(context, {path}, "", cli::ExportForm::Lump) != 0) {
            state.SkipWithError("export failed");
        }
    }
}
BENCHMARK(BM_ExportBigMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowBigMap(benchmark::State& state) {
    const std::string& path = BigMap();
    CNullBuffer nothing;
    std::ostream out(&nothing);
    CSilentSink sink;
    cli::CommandContext context{out, sink};
    for (auto _ : state) {
        if (cli::RunShow(context, {path}) != 0) {
            state.SkipWithError("show failed");
        }
    }
}
BENCHMARK(BM_ShowBigMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
