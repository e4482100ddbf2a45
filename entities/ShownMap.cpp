#include "entities/ShownMap.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "base/Format.h"
#include "entities/EntityBlocks.h"
#include "entities/EntityClassNames.h"
#include "entities/EntityText.h"

namespace entorra {

SpawnCensus CountSpawnCensus(IEntityEditor& editor) {
    const std::string_view text = TextBeforeNul(editor.BorrowText());
    SpawnCensus census;
    census.vip = CountEntityBlocks(kVipSpawnClass, text);
    census.ct = CountEntityBlocks(kCounterTerroristSpawnClass, text);
    census.t = CountEntityBlocks(kTerroristSpawnClass, text);
    return census;
}

std::string SpawnCensusText(const SpawnCensus& census) {
    return Format("T= %d CT= %d VIP= %d", census.t, census.ct, census.vip);
}

CShownMap::CShownMap(IEntityEditor& editor, IMessageSink& sink, IFileSystem& fileSystem,
                     CEntityDumpLog* dumpLog)
    : m_editor(editor), m_pDumpLog(dumpLog), m_file(sink, fileSystem) {
    Reset();
}

void CShownMap::Reset() {
    m_editor.SetTextLimit(kInitialTextLimit);
    m_editor.ClearModified();
}

bool CShownMap::Show(const std::string& path, LoadMode mode) {
    if (m_file.Load(path, mode) != 0 || m_file.GetEntityText() == nullptr) {
        return false;
    }
    const std::string text =
        MakeEditorText(std::string_view(m_file.GetEntityText(), m_file.EntityTextLength()));
    if (m_pDumpLog != nullptr) {
        m_pDumpLog->Append(text);
    }
    // Room for the map's text to double by typing; a limit raised once stays.
    const std::int64_t wanted = 2 * static_cast<std::int64_t>(text.size());
    if (m_editor.GetTextLimit() < wanted) {
        m_editor.SetTextLimit(static_cast<int>(
            std::min<std::int64_t>(wanted, static_cast<std::int64_t>(kMaxEditorTextLength))));
    }
    m_editor.SetText(text);
    m_editor.ClearModified();
    // Counted in the editor's own text, as the user now sees it.
    m_census = CountSpawnCensus(m_editor);
    return true;
}

int CShownMap::Save(const std::string& path) {
    std::string text = m_editor.GetText();
    return m_file.Save(path, text);
}

}  // namespace entorra
