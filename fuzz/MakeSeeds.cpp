// Writes the fuzzer's seed corpus: every map shape the generator makes (Half-Life and Blue
// Shift headers, lump orders, bytes and BSPX directories after the lumps, line ends of every
// kind), and maps whose layout is not recognised. Usage: fuzz_make_seeds OUTPUT_FOLDER

#include <filesystem>
#include <iostream>
#include <string>

#include "bsp/BspFormat.h"
#include "tests/fixtures/MapBuilder.h"

using namespace entorra;
using namespace entorra::fixtures;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    int count = 0;
    const auto write = [&](const Bytes& image) {
        WriteFileBytes((folder / ("seed" + std::to_string(count++) + ".bsp")).string(), image);
    };
    for (const std::string& text : {MakeEntityText(3), std::string("\n")}) {
        for (const MapVariantFixture& variant : MapVariants(text)) {
            write(variant.image);
        }
    }
    // Line ends of every kind, bytes above 0x7F, slack after the NUL, padding of 0xAA.
    write(CMapBuilder()
              .EntityText("{\r\n\"classname\" \"worldspawn\"\r\n\"message\" \"Caf\xe9\"\n}\n"
                          "{\n\"classname\" \"info_player_start\"\r\"note\" \"lone CR\"\n}\n",
                          5)
              .Align(4, 0xAA)
              .Build());
    // Entry 1 entity text, entry 0 neither text nor planes; both entries planes.
    write(CMapBuilder()
              .EntityText(MakeEntityText(2))
              .Lump(LUMP_PLANES, PatternBytes(44, 3))
              .BlueShift()
              .Align(4)
              .Build());
    write(CMapBuilder()
              .Lump(LUMP_ENTITIES, MakePlanes(3))
              .Lump(LUMP_PLANES, MakePlanes(5))
              .Align(4)
              .Build());
    std::cout << count << " seeds in " << folder.string() << '\n';
    return 0;
}
