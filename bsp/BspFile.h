#pragma once

// The map file object: reads a whole map into memory, gives access to its entity text and
// writes the map back with a new entity lump. It reports every failure itself through the
// message sink and returns a result code.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/MessageSink.h"
#include "base/Result.h"
#include "bsp/MapBytes.h"
#include "bsp/MapFindings.h"
#include "bsp/MapVariant.h"
#include "io/FileSystem.h"

namespace entorra {

// A map file's bytes, read whole, with spare room behind them for a save to grow into, and
// the identity of the file they were read from.
struct MapImage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0;
    std::size_t capacity = 0;
    FileIdentity identity;

    std::span<const std::uint8_t> Bytes() const;
};

// Reads the whole map file at path, shared with other readers while it is read; its bytes are
// not inspected. The failure's message is the one the map file object shows for it.
Result<MapImage> ReadMapFile(IFileSystem& fileSystem, const std::string& path);

// What the reading commands take from a map: its inspection and the bytes it read, which are
// the header, the entity lump and the little that telling layouts apart needs, not the whole
// map. The entity text points into the bytes.
struct MapExcerpt {
    std::unique_ptr<CFileBytes> bytes;
    MapInspection inspection;

    std::string_view EntityText() const { return inspection.entityText.value_or(""); }
};

// Reads and inspects the map at path as ReadMapFile opens it, reading only what the inspection
// looks at. Fatal findings are part of the inspection; the failure is that of opening or
// reading, in the words the map file object shows.
Result<MapExcerpt> InspectMapFile(IFileSystem& fileSystem, const std::string& path);

// The same for a command that only reads the entity text: also fails, in Load's words, for a
// map that Load refuses.
Result<MapExcerpt> ReadMapEntityText(IFileSystem& fileSystem, const std::string& path);

// How Load holds the map.
enum class LoadMode {
    Read,     // shared with other readers while it is read; nothing stays open
    ForSave,  // alone, from the load until Save, the next Load or the object's end, so that
              // no one else writes the map in between (the command-line tool's writers)
};

class CBspFile {
public:
    explicit CBspFile(IMessageSink& sink, IFileSystem& fileSystem = RealFileSystem());
    CBspFile(const CBspFile&) = delete;
    CBspFile& operator=(const CBspFile&) = delete;

    // 0 loaded, 1 not loaded (message shown; an earlier map is dropped too). Another
    // program's hold on the map is waited for up to kLockWait.
    int Load(std::string path, LoadMode mode = LoadMode::Read);

    // The NUL-terminated entity text inside the map image, or null when no map is loaded.
    const char* GetEntityText() const;

    // Writes the map at path with entityText as its new entity lump. entityText is prepared in
    // place to the text as written. 0 saved, 1 failed (message shown), 2 no map loaded.
    // Saving into the file loaded is refused when that file is no longer the one loaded
    // (another program wrote or replaced it since), as are maps that may not be written and
    // maps with other hard links. A failed save leaves the file as it was and the map loaded,
    // so that another try writes the same; after a success the loaded map is the file written.
    int Save(std::string path, std::string& entityText);

    // Whether the last Save was refused because the map had changed on disk since it was loaded.
    bool ChangedOnDisk() const { return m_bChangedOnDisk; }

    bool IsLoaded() const { return m_bLoaded; }
    std::span<const std::uint8_t> Image() const;
    std::size_t EntityTextLength() const { return m_nEntityTextLength; }
    // Which header entry holds the entity lump, read from the image at load.
    const MapVariant& Variant() const { return m_variant; }
    const std::string& LastMessage() const { return m_strMessage; }

private:
    void ReleaseImage();
    void Show();
    void CheckReplaceable(IFile& held, const std::string& target, bool loadedFile);

    IMessageSink& m_sink;
    IFileSystem& m_fileSystem;

    bool m_bLoaded = false;
    std::unique_ptr<std::uint8_t[]> m_pImage;
    std::uint32_t m_nImageSize = 0;
    std::size_t m_nImageCapacity = 0;
    std::size_t m_nEntityTextLength = 0;
    MapVariant m_variant;
    std::string m_strMessage;
    // The file the image is of: the path it was loaded by (or saved to), and its identity when
    // read (or written).
    std::string m_strLoadedPath;
    FileIdentity m_loadedIdentity;
    std::unique_ptr<IFile> m_pHeld;  // the map while it is held from Load to Save
    bool m_bChangedOnDisk = false;
};

// The name a save message shows: the part of the path after its last separator.
std::string FileNameOfPath(const std::string& path);

}  // namespace entorra
