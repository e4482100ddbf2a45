#pragma once

// The map the entity editor shows. Showing a map is one road for the dialog and the command-line
// tool alike: the map file object loads it, its entity text goes into editor form, into the dump
// log and into the editor (whose text limit grows for a big map), and its spawn census is
// counted. Save writes the editor's text back through the same map file object.

#include <string>

#include "base/MessageSink.h"
#include "bsp/BspFile.h"
#include "diagnostics/EntityDumpLog.h"
#include "entities/EntityEditor.h"
#include "io/FileSystem.h"

namespace entorra {

// The editor's text limit from start-up until a map raises it.
inline constexpr int kInitialTextLimit = 500000;

// Entity blocks that contain each spawn-point class.
struct SpawnCensus {
    int t = 0;    // terrorists: "info_player_deathmatch"
    int ct = 0;   // counter-terrorists: "info_player_start"
    int vip = 0;  // "info_vip_start"
    friend bool operator==(const SpawnCensus&, const SpawnCensus&) = default;
};

// The census of the editor's text, counted VIP, CT, T.
SpawnCensus CountSpawnCensus(IEntityEditor& editor);
// "T= %d CT= %d VIP= %d".
std::string SpawnCensusText(const SpawnCensus& census);

class CShownMap {
public:
    // The editor and the dump log are the caller's; without a log nothing is collected. The
    // editor starts as Reset leaves it.
    CShownMap(IEntityEditor& editor, IMessageSink& sink, IFileSystem& fileSystem = RealFileSystem(),
              CEntityDumpLog* dumpLog = nullptr);
    CShownMap(const CShownMap&) = delete;
    CShownMap& operator=(const CShownMap&) = delete;

    // The editor as the program starts: the initial text limit, the modified flag clear.
    void Reset();

    // Loads the map at path and shows it: its entity text in editor form is added to the dump
    // log, raises the editor's limit to twice its length when the limit is lower, becomes the
    // editor's text (modified flag clear) and is counted for the census. False when the load
    // failed: the map file object has said why, and the editor, the census and the log keep
    // what they held. ForSave keeps the map held until Save (see CBspFile::Load).
    bool Show(const std::string& path, LoadMode mode = LoadMode::Read);

    // Writes the editor's text into the map at path with the map file object: 0 saved, 1
    // failed (the file is as it was and the map stays loaded, so that another try writes the
    // same edits; File().ChangedOnDisk() tells a map another program changed meanwhile), 2
    // nothing loaded.
    int Save(const std::string& path);

    // The census of the last map shown.
    const SpawnCensus& Census() const { return m_census; }
    std::string CensusText() const { return SpawnCensusText(m_census); }

    CBspFile& File() { return m_file; }
    const CBspFile& File() const { return m_file; }
    IEntityEditor& Editor() { return m_editor; }

private:
    IEntityEditor& m_editor;
    CEntityDumpLog* m_pDumpLog;
    CBspFile m_file;
    SpawnCensus m_census;
};

}  // namespace entorra
