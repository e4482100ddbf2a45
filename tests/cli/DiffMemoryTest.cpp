// What diff and lint hold in memory, counted by this program's own operator new: the most held
// at once stays a small multiple of the texts, and a block costs no allocation of its own, so
// that the work grows with the text and nothing else.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <new>
#include <sstream>

#include "cli/Commands.h"
#include "entities/EntityLint.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

std::atomic<std::size_t> g_held{0};
std::atomic<std::size_t> g_peak{0};
std::atomic<std::size_t> g_allocations{0};

// Room before each block for its size, keeping the alignment operator new promises.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t held = g_held.fetch_add(size) + size;
    std::size_t peak = g_peak.load();
    while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
    }
    ++g_allocations;
    return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - kHeader;
    g_held.fetch_sub(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    Release(pointer);
}

namespace entorra::cli {
namespace {

// The most held at once while it ran, beyond what was held before, and the allocations made.
struct Usage {
    std::size_t peak = 0;
    std::size_t allocations = 0;
};

template <typename Work>
Usage Measure(Work&& work) {
    const std::size_t before = g_held.load();
    g_peak.store(before);
    const std::size_t allocationsBefore = g_allocations.load();
    work();
    return {g_peak.load() - before, g_allocations.load() - allocationsBefore};
}

class CQuietSink final : public IMessageSink {
public:
    void ShowMessage(const std::string& message) override { last = message; }
    std::string last;
};

class DiffMemory : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        fixtures::WriteFileBytes(path, fixtures::Bytes(text.begin(), text.end()));
        return path;
    }

    // diff of two entity files, the output read and dropped as the tool's would be printed.
    Usage Diff(const std::string& left, const std::string& right, bool json) {
        std::ostringstream out;
        CQuietSink sink;
        CommandContext context{out, sink};
        context.json = json;
        const Usage usage = Measure([&] { EXPECT_EQ(RunDiff(context, left, right), 0); });
        output = out.str();
        return usage;
    }

    entorra::testing::CTempDir dir;
    std::string output;
};

constexpr std::size_t kTextBytes = 4 << 20;

// The texts are read, parsed and compared with at most four times their size held at once; the
// JSON form, a document built whole before it is printed, with six.
TEST_F(DiffMemory, TwoLargeTextsTakeAFewTimesTheirSize) {
    const std::string before = fixtures::MakeLargeEntityText(kTextBytes, 0);
    const std::string after = fixtures::MakeLargeEntityText(kTextBytes, 1);
    const std::string left = Write("before.ent", before);
    const std::string right = Write("after.ent", after);
    const std::size_t input = before.size() + after.size();

    for (const bool json : {false, true}) {
        const Usage usage = Diff(left, right, json);
        std::cout << (json ? "json" : "text") << ": input " << input << " bytes, peak "
                  << usage.peak << " bytes (" << static_cast<double>(usage.peak) / static_cast<double>(input)
                  << " x), output " << output.size() << " bytes, " << usage.allocations
                  << " allocations\n";
        EXPECT_LE(usage.peak, (json ? 6 : 4) * input) << (json ? "json" : "text");
    }
    EXPECT_NE(output.find("\"changed\""), std::string::npos);
}

// Braces opening block after block, a block per byte: each costs a few words (some 35 bytes,
// where it cost some 500) and no allocation of its own; what took seconds per million before
// was the work done per block.
TEST_F(DiffMemory, NestedBracesCostAFewWordsAndNoAllocationEach) {
    constexpr std::size_t kBraces = 1 << 20;
    const std::string braces(kBraces, '{');
    const std::string left = Write("left.ent", braces);
    const std::string right = Write("right.ent", braces);

    const Usage usage = Diff(left, right, false);
    std::cout << "braces: peak " << usage.peak << " bytes (" << usage.peak / kBraces
              << " per brace), " << usage.allocations << " allocations\n";
    EXPECT_LE(usage.peak, 2 * 40 * kBraces);
    EXPECT_LE(usage.allocations, 200u);
    EXPECT_NE(output.find(": 0 added, 0 removed, 0 changed\n"), std::string::npos) << output;
}

// Lint keeps no blocks and no tokens: what it holds does not grow with a well-formed text.
TEST_F(DiffMemory, LintHoldsNothingInProportionToAGoodText) {
    const std::string text = fixtures::MakeLargeEntityText(kTextBytes, 0);
    const std::string braces(kTextBytes, '{');
    std::size_t findings = 0;
    for (const std::string* input : {&text, &braces}) {
        const Usage usage = Measure([&] { findings += entorra::LintEntityText(*input).size(); });
        EXPECT_LE(usage.peak, 64u * 1024) << (input == &text ? "text" : "braces");
    }
    EXPECT_EQ(findings, 1u);  // line 1: a brace inside a block (and never closed)
}

}  // namespace
}  // namespace entorra::cli
