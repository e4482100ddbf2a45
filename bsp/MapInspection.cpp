#include "bsp/MapInspection.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/BspFormat.h"
#include "bsp/MapLayout.h"

namespace entorra {
namespace {

// One inspection under way: the image, its header once read, and the findings so far.
class CInspector {
public:
    explicit CInspector(std::span<const std::uint8_t> image) : m_image(image) {}

    MapInspection Run() {
        if (!InspectHeader()) {
            return std::move(m_result);
        }
        m_result.variant = DetectVariant();
        InspectLumps();
        InspectEntityText();
        // What a save would do is only worth saying about a map without faults.
        if (m_result.Count(MapSeverity::Fatal) == 0 && m_result.Count(MapSeverity::Error) == 0) {
            InspectSave();
        }
        return std::move(m_result);
    }

private:
    void Add(MapFault fault, MapSeverity severity, std::string message, int lump = kNoLump,
             std::optional<std::int64_t> offset = std::nullopt) {
        m_result.findings.push_back({fault, severity, std::move(message), lump, offset});
    }

    const LumpEntry& Lump(int lump) const { return m_header.lumps[static_cast<std::size_t>(lump)]; }

    // False when there is no whole header to go on with.
    bool InspectHeader() {
        if (m_image.size() < kHeaderSize) {
            Add(MapFault::TooShort, MapSeverity::Fatal,
                Format("the file is shorter than the %zu-byte map header",
                       std::size_t{kHeaderSize}));
            return false;
        }
        m_header = ReadBspHeader(m_image);
        if (m_header.version != kBspVersion) {
            Add(MapFault::WrongVersion, MapSeverity::Fatal,
                Format("BSP is version %i, not %i", m_header.version, kBspVersion), kNoLump,
                std::int64_t{kVersionOffset});
        }
        return true;
    }

    // Which layout the header describes. Every later stage reads the lumps through it.
    MapVariant DetectVariant() const { return MapVariant::HalfLife; }

    // Reading the entity text, and saving, needs the entity and texture lumps inside the file;
    // faults of the other lumps only matter to the engine.
    static MapSeverity SeverityOfMisplaced(int lump) {
        return lump == LUMP_ENTITIES || lump == LUMP_TEXTURES ? MapSeverity::Fatal
                                                              : MapSeverity::Error;
    }

    void InspectLumps() {
        std::vector<int> placed;  // non-empty lumps inside the file and clear of the header
        for (int lump = 0; lump < HEADER_LUMPS; ++lump) {
            const LumpEntry& entry = Lump(lump);
            // The entity text is read from its offset on, whatever the lump's length says.
            const bool readFrom = lump == LUMP_ENTITIES || !entry.IsEmpty();
            if (!entry.LiesInside(m_image.size())) {
                Add(MapFault::LumpOutside, SeverityOfMisplaced(lump),
                    Format("the %s lump (offset %d, length %d) lies outside the file of %zu bytes",
                           LumpName(lump), entry.offset, entry.length, m_image.size()),
                    lump, entry.offset);
            } else if (readFrom && static_cast<std::size_t>(entry.offset) < kHeaderSize) {
                Add(MapFault::LumpInHeader, SeverityOfMisplaced(lump),
                    Format("the %s lump overlaps the map header", LumpName(lump)), lump,
                    entry.offset);
            } else if (!entry.IsEmpty()) {
                placed.push_back(lump);
            }
        }
        for (std::size_t a = 0; a < placed.size(); ++a) {
            for (std::size_t b = a + 1; b < placed.size(); ++b) {
                const LumpEntry& first = Lump(placed[a]);
                const LumpEntry& second = Lump(placed[b]);
                if (first.offset < second.End() && second.offset < first.End()) {
                    Add(MapFault::LumpsOverlap, MapSeverity::Error,
                        Format("the %s lump overlaps the %s lump", LumpName(placed[a]),
                               LumpName(placed[b])),
                        placed[a], std::max(first.offset, second.offset));
                }
            }
        }
        // Lumps hold arrays of 4-byte numbers; compilers start each on a multiple of 4.
        for (const int lump : placed) {
            const LumpEntry& entry = Lump(lump);
            if (entry.offset % 4 != 0) {
                Add(MapFault::LumpUnaligned, MapSeverity::Warning,
                    Format("the %s lump starts at offset %d, not on a multiple of 4",
                           LumpName(lump), entry.offset),
                    lump, entry.offset);
            }
        }
    }

    void InspectEntityText() {
        const LumpEntry& entities = Lump(LUMP_ENTITIES);
        if (!entities.LiesInside(m_image.size()) ||
            static_cast<std::size_t>(entities.offset) < kHeaderSize) {
            return;
        }
        const auto start = static_cast<std::size_t>(entities.offset);
        const auto* begin = reinterpret_cast<const char*>(m_image.data()) + start;
        const void* nul = std::memchr(begin, 0, m_image.size() - start);
        const std::size_t length =
            nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin)
                           : static_cast<std::size_t>(entities.length);
        m_result.entityText = std::string_view(begin, length);
        const auto end = static_cast<std::int64_t>(start + length);
        const std::string missing =
            Format("a NUL missing: the entity lump has none within its %d bytes", entities.length);
        if (nul == nullptr) {
            Add(MapFault::NoTextTerminator, MapSeverity::Fatal, missing, LUMP_ENTITIES, end);
        } else if (length >= static_cast<std::size_t>(entities.length)) {
            // The engine reads the lump by its length: without a NUL inside it, its parser
            // runs on past the text.
            Add(MapFault::TerminatorPastLump, MapSeverity::Error, missing, LUMP_ENTITIES, end);
        }
    }

    void InspectSave() {
        if (!m_result.entityText) {
            return;
        }
        const std::size_t textLength = m_result.entityText->size();
        if (!MeetsFileOrder(m_header, m_image.size(), textLength)) {
            Add(MapFault::NotInFileOrder, MapSeverity::Warning,
                "the entity lump is not followed by the texture lump ending the file: a save "
                "moves what lies behind the entity lump and keeps every byte",
                LUMP_ENTITIES);
        }
        try {
            PlanSave(m_image, textLength, textLength);
        } catch (const CLayoutRefusal& refusal) {
            Add(MapFault::SaveRefused, MapSeverity::Error,
                std::string("a save would refuse this map: ") + refusal.what());
        }
    }

    std::span<const std::uint8_t> m_image;
    BspHeader m_header;
    MapInspection m_result;
};

}  // namespace

const MapFinding* MapInspection::FirstFatal() const {
    const auto found = std::find_if(findings.begin(), findings.end(), [](const MapFinding& f) {
        return f.severity == MapSeverity::Fatal;
    });
    return found == findings.end() ? nullptr : &*found;
}

int MapInspection::Count(MapSeverity severity) const {
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const MapFinding& f) { return f.severity == severity; }));
}

MapInspection InspectMap(std::span<const std::uint8_t> image) {
    return CInspector(image).Run();
}

}  // namespace entorra
