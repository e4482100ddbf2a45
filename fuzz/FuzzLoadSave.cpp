// Loads arbitrary bytes as a map and, when that succeeds, saves it with its own editor text and
// with a fixed one, then checks that the saved map loads as the same variant and keeps every
// other lump, its checksum and the lumps of a valid BSPX directory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "bsp/BspFile.h"
#include "bsp/BspFormat.h"
#include "bsp/Bspx.h"
#include "bsp/MapInfo.h"
#include "bsp/MapFindings.h"
#include "entities/EntityText.h"
#include "tests/support/MemoryFileSystem.h"

namespace {

using entorra::CBspFile;
using Bytes = std::vector<std::uint8_t>;

class CSilentSink final : public entorra::IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

// Every lump but the entity lump, by header entry; none for one outside the image.
std::vector<std::optional<Bytes>> OtherLumps(const CBspFile& file) {
    const std::span<const std::uint8_t> image = file.Image();
    std::vector<std::optional<Bytes>> lumps;
    for (int entry = 0; entry < entorra::HEADER_LUMPS; ++entry) {
        const entorra::LumpEntry lump{entorra::ReadInt32LE(image, entorra::LumpOffsetField(entry)),
                                      entorra::ReadInt32LE(image, entorra::LumpLengthField(entry))};
        if (entry == file.Variant().EntityEntry() || !lump.LiesInside(image.size())) {
            lumps.emplace_back();
        } else {
            const auto bytes = image.subspan(static_cast<std::size_t>(lump.offset),
                                             static_cast<std::size_t>(lump.length));
            lumps.emplace_back(Bytes(bytes.begin(), bytes.end()));
        }
    }
    return lumps;
}

// The lumps of a valid BSPX directory by name; none when there is no valid one.
std::optional<std::map<std::string, Bytes>> BspxLumps(std::span<const std::uint8_t> image) {
    const entorra::BspxDirectory directory = entorra::ReadBspxDirectory(image);
    if (directory.state != entorra::BspxDirectory::State::Valid) {
        return std::nullopt;
    }
    std::map<std::string, Bytes> lumps;
    for (const entorra::BspxEntry& entry : directory.entries) {
        const auto bytes = image.subspan(static_cast<std::size_t>(entry.offset),
                                         static_cast<std::size_t>(entry.length));
        lumps[entry.name] = Bytes(bytes.begin(), bytes.end());
    }
    return lumps;
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace entorra;
    CSilentSink sink;
    testing::CMemoryFileSystem fileSystem;
    const std::string path = "maps/fuzz.bsp";
    fileSystem.files[path].assign(data, data + size);

    // Reading a map piece by piece finds what reading it whole does.
    const MapInspection whole = InspectMap(fileSystem.files[path]);
    const Result<MapExcerpt> excerpt = InspectMapFile(fileSystem, path);
    Require(excerpt.Ok());
    const MapInspection& pieces = excerpt->inspection;
    Require(pieces.findings == whole.findings && pieces.variant == whole.variant &&
            pieces.entityText == whole.entityText &&
            pieces.entityTextOffset == whole.entityTextOffset &&
            pieces.bspx.state == whole.bspx.state && pieces.bspx.entries == whole.bspx.entries);

    CBspFile file(sink, fileSystem);
    if (file.Load(path) != 0) {
        return 0;
    }
    const auto checksum = MapChecksum(file.Image(), file.Variant());
    const auto lumps = OtherLumps(file);
    const auto bspx = BspxLumps(file.Image());
    std::string text = MakeEditorText(file.GetEntityText());
    if (file.Save(path, text) == 0) {
        CBspFile reloaded(sink, fileSystem);
        Require(reloaded.Load(path) == 0);
        Require(reloaded.Variant().kind == file.Variant().kind);
        Require(MapChecksum(reloaded.Image(), reloaded.Variant()) == checksum);
        const auto after = OtherLumps(reloaded);
        for (std::size_t entry = 0; entry < lumps.size(); ++entry) {
            Require(!lumps[entry] || lumps[entry] == after[entry]);
        }
        Require(!bspx || BspxLumps(reloaded.Image()) == bspx);
        std::string other = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
        Require(reloaded.Save(path, other) == 0 && reloaded.Load(path) == 0 &&
                std::string(reloaded.GetEntityText()) == "{\n\"classname\" \"worldspawn\"\n}\n");
        Require(!bspx || BspxLumps(reloaded.Image()) == bspx);
    }
    return 0;
}
