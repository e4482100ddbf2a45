// Loads arbitrary bytes as a map and, when that succeeds, saves it with its own editor text and
// with a fixed one, then checks that the saved map loads and keeps its checksum.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bsp/BspFile.h"
#include "bsp/MapInfo.h"
#include "entities/EntityText.h"
#include "tests/support/MemoryFileSystem.h"

namespace {

class CSilentSink final : public entorra::IMessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace entorra;
    CSilentSink sink;
    testing::CMemoryFileSystem fileSystem;
    const std::string path = "maps/fuzz.bsp";
    fileSystem.files[path].assign(data, data + size);

    CBspFile file(sink, fileSystem);
    if (file.Load(path) != 0) {
        return 0;
    }
    const auto checksum = MapChecksum(file.Image());
    std::string text = MakeEditorText(file.GetEntityText());
    if (file.Save(path, text) == 0) {
        CBspFile reloaded(sink, fileSystem);
        if (reloaded.Load(path) != 0 || MapChecksum(reloaded.Image()) != checksum) {
            std::abort();
        }
        std::string other = "{\r\n\"classname\" \"worldspawn\"\r\n}\r\n";
        if (reloaded.Save(path, other) != 0 || reloaded.Load(path) != 0 ||
            std::string(reloaded.GetEntityText()) != "{\n\"classname\" \"worldspawn\"\n}\n") {
            std::abort();
        }
    }
    return 0;
}
