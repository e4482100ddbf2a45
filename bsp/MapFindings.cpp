#include "bsp/MapFindings.h"

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
    explicit CInspector(IMapBytes& bytes) : m_bytes(bytes), m_nSize(bytes.Size()) {}

    MapInspection Run() {
        if (!InspectHeader()) {
            return std::move(m_result);
        }
        InspectVariant();
        InspectLumps();
        InspectEntityText();
        InspectUnknownLayout();
        InspectBspx();
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

    // A lump by what it holds, from whichever header entry the variant has for it.
    const LumpEntry& Lump(int lump) const {
        return m_header.lumps[static_cast<std::size_t>(m_result.variant.EntryOf(lump))];
    }

    // False when there is no whole header to go on with.
    bool InspectHeader() {
        if (m_nSize < kHeaderSize) {
            Add(MapFault::TooShort, MapSeverity::Fatal,
                Format("the file is shorter than the %zu-byte map header",
                       std::size_t{kHeaderSize}));
            return false;
        }
        m_header = ReadBspHeader(m_bytes.Bytes(0, kHeaderSize));
        if (m_header.version != kBspVersion) {
            Add(MapFault::WrongVersion, MapSeverity::Fatal,
                Format("BSP is version %i, not %i", m_header.version, kBspVersion), kNoLump,
                std::int64_t{kVersionOffset});
        }
        return true;
    }

    // Which layout the header describes. Every later stage reads the lumps through it.
    void InspectVariant() {
        m_result.variant = DetectVariant(m_bytes);
        switch (m_result.variant.kind) {
            case BspVariant::HalfLife:
                break;
            case BspVariant::BlueShift:
                Add(MapFault::BlueShiftLayout, MapSeverity::Information,
                    "Blue Shift layout: entry 0 of the header holds the planes lump and entry 1 "
                    "the entity lump");
                break;
            case BspVariant::Unrecognised:
                break;
        }
    }

    // An entity lump that cannot be read at all says enough; one that can but holds no entity
    // text is why the layout is doubted.
    void InspectUnknownLayout() {
        if (m_result.variant.kind == BspVariant::Unrecognised &&
            m_result.Count(MapSeverity::Fatal) == 0) {
            Add(MapFault::UnknownLayout, MapSeverity::Error,
                "the layout is not recognised: " + m_result.variant.doubt +
                    "; a save refuses to write entity text into this map");
        }
    }

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
            if (!entry.LiesInside(m_nSize)) {
                Add(MapFault::LumpOutside, SeverityOfMisplaced(lump),
                    Format("the %s lump (offset %d, length %d) lies outside the file of %zu bytes",
                           LumpName(lump), entry.offset, entry.length, m_nSize),
                    lump, entry.offset);
            } else if (readFrom && static_cast<std::size_t>(entry.offset) < kHeaderSize) {
                Add(MapFault::LumpInHeader, SeverityOfMisplaced(lump),
                    Format("the %s lump overlaps the map header", LumpName(lump)), lump,
                    entry.offset);
            } else if (!entry.IsEmpty()) {
                placed.push_back(lump);
            }
        }
        // In header order, so that the first of two overlapping lumps is the one listed first.
        std::sort(placed.begin(), placed.end(), [&](int a, int b) {
            return m_result.variant.EntryOf(a) < m_result.variant.EntryOf(b);
        });
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
        // Lumps hold arrays of 4-byte numbers and compilers start each on a multiple of 4, but
        // the engine reads them anywhere, and a save puts the texture lump directly behind the
        // entity lump: worth knowing, not a fault.
        for (const int lump : placed) {
            const LumpEntry& entry = Lump(lump);
            if (entry.offset % 4 != 0) {
                Add(MapFault::LumpUnaligned, MapSeverity::Information,
                    Format("the %s lump starts at offset %d, not on a multiple of 4",
                           LumpName(lump), entry.offset),
                    lump, entry.offset);
            }
        }
    }

    void InspectEntityText() {
        const LumpEntry& entities = Lump(LUMP_ENTITIES);
        if (!entities.LiesInside(m_nSize) ||
            static_cast<std::size_t>(entities.offset) < kHeaderSize) {
            return;
        }
        const auto start = static_cast<std::uint64_t>(entities.offset);
        // The lump first, so that its NUL is found in it without a read further on.
        m_bytes.Bytes(start, static_cast<std::size_t>(entities.length));
        const std::optional<std::uint64_t> nul = m_bytes.FindNul(start);
        const std::size_t length = nul ? static_cast<std::size_t>(*nul - start)
                                       : static_cast<std::size_t>(entities.length);
        const auto text = m_bytes.Bytes(start, length);
        m_result.entityText =
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size());
        m_result.entityTextOffset = start;
        const auto end = static_cast<std::int64_t>(start + length);
        const std::string missing =
            Format("a NUL missing: the entity lump has none within its %d bytes", entities.length);
        if (!nul) {
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
        if (!m_result.variant.Writable()) {
            return;  // said once, by the variant's finding
        }
        // How a save lays the map out, as it stands and as a save leaves it: not a fault.
        if (!MeetsFileOrder(m_header, m_result.variant, m_nSize, textLength)) {
            Add(MapFault::NotInFileOrder, MapSeverity::Information,
                "the entity lump is not followed by the texture lump ending the file: a save "
                "moves what lies behind the entity lump and keeps every byte",
                LUMP_ENTITIES);
        }
        try {
            PlanSave(m_bytes, m_result.variant, textLength, textLength);
        } catch (const CLayoutRefusal& refusal) {
            Add(MapFault::SaveRefused, MapSeverity::Error,
                std::string("a save would refuse this map: ") + refusal.what());
        }
    }

    // A damaged directory is left as it is by a save; engines that read it would not find their
    // lumps.
    void InspectBspx() {
        m_result.bspx = ReadBspxDirectory(m_bytes);
        for (const std::string& damage : m_result.bspx.damages) {
            Add(MapFault::BspxDamaged, MapSeverity::Warning,
                "the BSPX directory is damaged: " + damage + "; a save leaves it as it is", kNoLump,
                static_cast<std::int64_t>(m_result.bspx.offset));
        }
    }

    IMapBytes& m_bytes;
    std::uint64_t m_nSize;
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

MapInspection InspectMap(IMapBytes& bytes) {
    return CInspector(bytes).Run();
}

MapInspection InspectMap(std::span<const std::uint8_t> image) {
    CImageBytes bytes(image);
    return InspectMap(bytes);
}

}  // namespace entorra
