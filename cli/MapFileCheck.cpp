#include "cli/MapFileCheck.h"

#include <algorithm>
#include <cstring>

#include "base/Format.h"
#include "bsp/BspFormat.h"
#include "bsp/MapLayout.h"

namespace entorra::cli {
namespace {

void Error(MapFileCheck& check, int line, std::string message) {
    check.findings.push_back({line, LintSeverity::Error, std::move(message)});
}

void Warning(MapFileCheck& check, std::string message) {
    check.findings.push_back({0, LintSeverity::Warning, std::move(message)});
}

}  // namespace

MapFileCheck CheckMapFile(std::span<const std::uint8_t> image) {
    MapFileCheck check;
    if (image.size() < kHeaderSize) {
        Error(check, 0,
              Format("the file is shorter than the %zu-byte map header", std::size_t{kHeaderSize}));
        return check;
    }
    const BspHeader header = ReadBspHeader(image);
    if (header.version != kBspVersion) {
        Error(check, 0, Format("BSP is version %i, not %i", header.version, kBspVersion));
    }

    std::vector<int> placed;  // non-empty lumps inside the file and clear of the header
    for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
        const LumpEntry& entry = header.lumps[static_cast<std::size_t>(lump)];
        if (!entry.LiesInside(image.size())) {
            Error(check, 0,
                  Format("the %s lump (offset %d, length %d) lies outside the file of %zu bytes",
                         LumpName(lump), entry.offset, entry.length, image.size()));
        } else if (!entry.IsEmpty() && static_cast<std::size_t>(entry.offset) < kHeaderSize) {
            Error(check, 0, Format("the %s lump overlaps the map header", LumpName(lump)));
        } else if (!entry.IsEmpty()) {
            placed.push_back(lump);
        }
    }
    for (std::size_t a = 0; a < placed.size(); ++a) {
        for (std::size_t b = a + 1; b < placed.size(); ++b) {
            const LumpEntry& first = header.lumps[static_cast<std::size_t>(placed[a])];
            const LumpEntry& second = header.lumps[static_cast<std::size_t>(placed[b])];
            if (first.offset < second.End() && second.offset < first.End()) {
                Error(check, 0,
                      Format("the %s lump overlaps the %s lump", LumpName(placed[a]),
                             LumpName(placed[b])));
            }
        }
    }
    // Lumps hold arrays of 4-byte numbers; compilers start each on a multiple of 4.
    for (const int lump : placed) {
        const LumpEntry& entry = header.lumps[static_cast<std::size_t>(lump)];
        if (entry.offset % 4 != 0) {
            Warning(check, Format("the %s lump starts at offset %d, not on a multiple of 4",
                                  LumpName(lump), entry.offset));
        }
    }

    const LumpEntry& entities = header.lumps[LUMP_ENTITIES];
    if (entities.LiesInside(image.size()) &&
        static_cast<std::size_t>(entities.offset) >= kHeaderSize) {
        const auto* begin = reinterpret_cast<const char*>(image.data()) + entities.offset;
        const std::size_t room = image.size() - static_cast<std::size_t>(entities.offset);
        const void* nul = std::memchr(begin, 0, room);
        const std::size_t textLength =
            nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin)
                           : static_cast<std::size_t>(entities.length);
        check.entityText = std::string_view(begin, textLength);
        if (nul == nullptr || textLength >= static_cast<std::size_t>(entities.length)) {
            // The engine reads the lump by its length: without a NUL inside it, its parser
            // runs on past the text.
            const auto lines = std::count(begin, begin + textLength, '\n');
            Error(check, static_cast<int>(lines) + 1,
                  Format("a NUL missing: the entity lump has none within its %d bytes",
                         entities.length));
        }
    }

    const bool clean = std::none_of(
        check.findings.begin(), check.findings.end(),
        [](const LintFinding& finding) { return finding.severity == LintSeverity::Error; });
    const MapCheck mapCheck = CheckMapImage(image);
    if (clean && mapCheck.defect == MapDefect::None) {
        if (!MeetsFileOrder(header, mapCheck.variant, image.size(), mapCheck.entityTextLength)) {
            Warning(check,
                    "the entity lump is not followed by the texture lump ending the file: a save "
                    "moves what lies behind the entity lump and keeps every byte");
        }
        try {
            PlanSave(image, mapCheck.variant, mapCheck.entityTextLength, mapCheck.entityTextLength);
        } catch (const CLayoutRefusal& refusal) {
            Error(check, 0, std::string("a save would refuse this map: ") + refusal.what());
        }
    }
    return check;
}

}  // namespace entorra::cli
