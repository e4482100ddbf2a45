#pragma once

#include <algorithm>
#include <string>

#include "bsp/BspFile.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"

namespace entorra::cli {

// One map shown as the dialog shows it: loaded, in editor form on the in-memory editor,
// modified flag clear.
class CShownMap {
public:
    CShownMap(IMessageSink& sink, IFileSystem& fileSystem) : m_file(sink, fileSystem) {
        m_editor.SetTextLimit(kInitialTextLimit);
    }

    bool Show(const std::string& path) {
        if (m_file.Load(path) != 0) {
            return false;
        }
        const std::string text =
            MakeEditorText(std::string_view(m_file.GetEntityText(), m_file.EntityTextLength()));
        // The dialog raises the limit to twice the text, as it does on showing a map.
        const std::size_t doubled = 2 * text.size();
        if (static_cast<std::size_t>(m_editor.GetTextLimit()) < doubled) {
            m_editor.SetTextLimit(
                static_cast<int>(std::min<std::size_t>(doubled, kMaxEditorTextLength)));
        }
        m_editor.SetText(text);
        m_editor.ClearModified();
        return true;
    }

    CBspFile& File() { return m_file; }
    CMemoryEditor& Editor() { return m_editor; }

private:
    // The editor's limit when the dialog starts.
    static constexpr int kInitialTextLimit = 500000;

    CBspFile m_file;
    CMemoryEditor m_editor;
};

}  // namespace entorra::cli
