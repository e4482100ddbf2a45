// Map file load and save against the plain file operations they are built on, side by side in
// one run: Load against one read() of the file, Save against writing and flushing the same
// bytes, a whole import against a tool that rewrites every lump.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "entities/EntityText.h"
#include "tests/fixtures/MapBuilder.h"

namespace {

using namespace entorra;
using namespace entorra::bench;
using fixtures::Bytes;

// 64 MiB in the usual layout: most of it lighting and textures, a realistic entity text.
const std::string& BigMapPath() {
    static const std::string path = [] {
        const std::string file = (BenchFolder() / "big.bsp").string();
        const Bytes image = fixtures::CMapBuilder()
                                .Lump(LUMP_LIGHTING, fixtures::PatternBytes(56u << 20, 1))
                                .Lump(LUMP_TEXTURES, fixtures::PatternBytes(8u << 20, 2))
                                .EntityText(fixtures::MakeEntityText(2000))
                                .Align(4)
                                .Build();
        fixtures::WriteFileBytes(file, image);
        return file;
    }();
    return path;
}

// The largest real map beside the project, or a generated one of similar size.
const std::string& RealMapPath() {
    static const std::string path = [] {
        const std::filesystem::path shared(ENTORRA_REAL_MAPS_DIR "/msr_melanion_ruins.bsp");
        const std::string file = (BenchFolder() / "real.bsp").string();
        if (std::filesystem::exists(shared)) {
            std::filesystem::copy_file(shared, file,
                                       std::filesystem::copy_options::overwrite_existing);
            // Real maps are read-only; the copy is saved to.
            std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        } else {
            fixtures::WriteFileBytes(file,
                                     fixtures::CMapBuilder()
                                         .Lump(LUMP_LIGHTING, fixtures::PatternBytes(3u << 20, 3))
                                         .EntityText(fixtures::MakeEntityText(400))
                                         .Align(4)
                                         .Build());
        }
        return file;
    }();
    return path;
}

// The same map with the Blue Shift header: entries 0 and 1 swapped, so that a load reads the
// layout from a whole planes lump.
const std::string& BlueShiftMapPath() {
    static const std::string path = [] {
        Bytes image = fixtures::ReadFileBytes(RealMapPath());
        const std::string file = (BenchFolder() / "blueshift.bsp").string();
        std::swap_ranges(image.begin() + 4, image.begin() + 12, image.begin() + 12);
        fixtures::WriteFileBytes(file, image);
        return file;
    }();
    return path;
}

std::unique_ptr<std::uint8_t[]> PlainRead(const std::string& path, std::size_t& size) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    size = static_cast<std::size_t>(::lseek(descriptor, 0, SEEK_END));
    ::lseek(descriptor, 0, SEEK_SET);
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t now = ::read(descriptor, buffer.get() + got, size - got);
        if (now <= 0) {
            break;
        }
        got += static_cast<std::size_t>(now);
    }
    ::close(descriptor);
    return buffer;
}

void PlainWrite(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t put = 0;
    while (put < size) {
        const ssize_t now = ::write(descriptor, data + put, size - put);
        if (now <= 0) {
            break;
        }
        put += static_cast<std::size_t>(now);
    }
    ::fsync(descriptor);
    ::close(descriptor);
}

void BM_PlainRead64MiB(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t size = 0;
        auto buffer = PlainRead(BigMapPath(), size);
        benchmark::DoNotOptimize(buffer.get());
    }
}
BENCHMARK(BM_PlainRead64MiB)->Unit(benchmark::kMillisecond);

void BM_Load64MiB(benchmark::State& state) {
    CSilentSink sink;
    for (auto _ : state) {
        CBspFile file(sink);
        if (file.Load(BigMapPath()) != 0) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(file.GetEntityText());
    }
}
BENCHMARK(BM_Load64MiB)->Unit(benchmark::kMillisecond);

// Loading reads the layout from the lumps' content: against a plain read of the same real map,
// once as Half-Life and once as Blue Shift.
void BM_PlainReadRealMap(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t size = 0;
        auto buffer = PlainRead(RealMapPath(), size);
        benchmark::DoNotOptimize(buffer.get());
    }
}
BENCHMARK(BM_PlainReadRealMap)->Unit(benchmark::kMillisecond);

void LoadLoop(benchmark::State& state, const std::string& path) {
    CSilentSink sink;
    for (auto _ : state) {
        CBspFile file(sink);
        if (file.Load(path) != 0) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(file.GetEntityText());
    }
}

void BM_LoadRealMap(benchmark::State& state) {
    LoadLoop(state, RealMapPath());
}
BENCHMARK(BM_LoadRealMap)->Unit(benchmark::kMillisecond);

void BM_LoadRealMapBlueShift(benchmark::State& state) {
    LoadLoop(state, BlueShiftMapPath());
}
BENCHMARK(BM_LoadRealMapBlueShift)->Unit(benchmark::kMillisecond);

void BM_PlainWriteAndFlush64MiB(benchmark::State& state) {
    std::size_t size = 0;
    const auto bytes = PlainRead(BigMapPath(), size);
    const std::string target = (BenchFolder() / "plain-copy.bsp").string();
    for (auto _ : state) {
        PlainWrite(target, bytes.get(), size);
    }
}
BENCHMARK(BM_PlainWriteAndFlush64MiB)->Unit(benchmark::kMillisecond);

void BM_Save64MiB(benchmark::State& state) {
    CSilentSink sink;
    const std::string target = (BenchFolder() / "saved.bsp").string();
    std::filesystem::copy_file(BigMapPath(), target,
                               std::filesystem::copy_options::overwrite_existing);
    CBspFile file(sink);
    file.Load(target);
    const std::string editorText = MakeEditorText(file.GetEntityText());
    for (auto _ : state) {
        std::string text = editorText;
        if (file.Save(target, text) != 0) {
            state.SkipWithError("save failed");
        }
    }
}
BENCHMARK(BM_Save64MiB)->Unit(benchmark::kMillisecond);

// What tools that rebuild the whole map do: read it, then write the header and every lump
// one by one into a new file, and flush it.
void BM_RewriteEveryLumpRealMap(benchmark::State& state) {
    const std::string target = (BenchFolder() / "rewritten.bsp").string();
    for (auto _ : state) {
        std::size_t size = 0;
        const auto image = PlainRead(RealMapPath(), size);
        const std::span<const std::uint8_t> view(image.get(), size);
        Bytes out(kHeaderSize);
        std::copy(view.begin(), view.begin() + kHeaderSize, out.begin());
        for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
            const auto offset = static_cast<std::size_t>(ReadInt32LE(view, LumpOffsetField(lump)));
            const auto length = static_cast<std::size_t>(ReadInt32LE(view, LumpLengthField(lump)));
            WriteInt32LE(out, LumpOffsetField(lump), static_cast<std::int32_t>(out.size()));
            out.insert(out.end(), view.begin() + static_cast<std::ptrdiff_t>(offset),
                       view.begin() + static_cast<std::ptrdiff_t>(offset + length));
            while (out.size() % 4 != 0) {
                out.push_back(0);
            }
        }
        PlainWrite(target, out.data(), out.size());
    }
}
BENCHMARK(BM_RewriteEveryLumpRealMap)->Unit(benchmark::kMillisecond);

// entorra-cli import: load, prepare the text, save atomically.
void BM_ImportRealMap(benchmark::State& state) {
    CSilentSink sink;
    const std::string target = (BenchFolder() / "imported.bsp").string();
    std::filesystem::copy_file(RealMapPath(), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::string entityFile;
    {
        CBspFile file(sink);
        file.Load(target);
        entityFile = file.GetEntityText();
    }
    for (auto _ : state) {
        CBspFile file(sink);
        std::string text = entityFile;
        if (file.Load(target) != 0 || file.Save(target, text) != 0) {
            state.SkipWithError("import failed");
        }
    }
}
BENCHMARK(BM_ImportRealMap)->Unit(benchmark::kMillisecond);

}  // namespace
