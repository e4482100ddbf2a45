// show, census, find and delete-all: the dialog's entity commands on each map, run on the
// in-memory editor with the same code the dialog runs.

#include <algorithm>
#include <ostream>

#include "bsp/BspFile.h"
#include "bsp/Format.h"
#include "cli/Commands.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"

namespace entorra::cli {

namespace {

// The editor's limit when the dialog starts.
constexpr int kInitialTextLimit = 500000;

// One map shown as the dialog shows it: loaded, in editor form, modified flag clear.
class CShownMap {
public:
    explicit CShownMap(IMessageSink& sink) : m_file(sink) {
        m_editor.SetTextLimit(kInitialTextLimit);
    }

    bool Show(const std::string& path) {
        if (m_file.Load(path) != 0) {
            return false;
        }
        const std::string text =
            MakeEditorText(std::string_view(m_file.GetEntityText(), m_file.EntityTextLength()));
        const std::size_t doubled = 2 * text.size();
        if (static_cast<std::size_t>(m_editor.GetTextLimit()) < doubled) {
            m_editor.SetTextLimit(
                static_cast<int>(std::min<std::size_t>(doubled, kMaxEditorTextLength)));
        }
        m_editor.SetText(text);
        m_editor.ClearModified();
        return true;
    }

    // The editor's whole text into the map, as the dialog's Save: 0 saved.
    int Save(const std::string& path) {
        std::string text = m_editor.GetText();
        const int result = m_file.Save(path, text);
        m_editor.ClearModified();
        return result;
    }

    CMemoryEditor& Editor() { return m_editor; }

private:
    CBspFile m_file;
    CMemoryEditor m_editor;
};

// Delete All's message as one line behind the map's name.
class CMapLineSink final : public IMessageSink {
public:
    CMapLineSink(std::ostream& out, const std::string& map) : m_out(out), m_map(map) {}

    void ShowMessage(const std::string& text) override {
        std::string line = text;
        for (char& c : line) {
            if (c == '\n') {
                c = ' ';
            }
        }
        m_out << m_map << ": " << line << '\n';
        m_bSaid = true;
    }
    bool Said() const { return m_bSaid; }

private:
    std::ostream& m_out;
    const std::string& m_map;
    bool m_bSaid = false;
};

}  // namespace

int RunShow(const std::string& map, std::ostream& out, IMessageSink& sink) {
    CShownMap shown(sink);
    if (!shown.Show(map)) {
        return 1;
    }
    const std::string_view text = shown.Editor().BorrowText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return 0;
}

int RunCensus(const std::vector<std::string>& maps, std::ostream& out, IMessageSink& sink) {
    int status = 0;
    for (const std::string& map : maps) {
        CShownMap shown(sink);
        if (!shown.Show(map)) {
            status = 1;
            continue;
        }
        CFixedSearchString unused;
        CEntitySearch search(shown.Editor(), unused, sink);
        // The dialog's order of evaluation.
        const int vip = search.CountEntityBlocks("info_vip_start");
        const int ct = search.CountEntityBlocks("info_player_start");
        const int t = search.CountEntityBlocks("info_player_deathmatch");
        out << map << ": " << Format("T= %d CT= %d VIP= %d", t, ct, vip) << '\n';
    }
    return status;
}

int RunFind(const std::string& searchString, const std::vector<std::string>& maps,
            std::ostream& out, IMessageSink& sink) {
    int status = 0;
    for (const std::string& map : maps) {
        CShownMap shown(sink);
        if (!shown.Show(map)) {
            status = 1;
            continue;
        }
        CMemoryEditor& editor = shown.Editor();
        CFixedSearchString source(searchString);
        CEntitySearch search(editor, source, sink);
        const auto print = [&](const TextSelection& selection) {
            const std::string_view block = editor.BorrowText().substr(
                static_cast<std::size_t>(selection.start),
                static_cast<std::size_t>(selection.end - selection.start));
            out << map << ' ' << selection.start << ' ' << selection.end << '\n';
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            if (block.empty() || block.back() != '\n') {
                out << '\n';
            }
        };

        // Find, then Find Next until it finds nothing or wraps round to the first block.
        search.SetSearchPosition(0);
        if (!search.FindFromPosition()) {
            continue;
        }
        const TextSelection first = editor.GetSelection();
        print(first);
        while (search.FindFromPosition() && editor.GetSelection() != first) {
            print(editor.GetSelection());
        }
    }
    return status;
}

int RunDeleteAll(const std::string& searchString, const std::vector<std::string>& maps, bool dryRun,
                 std::ostream& out, IMessageSink& sink) {
    int status = 0;
    for (const std::string& map : maps) {
        CShownMap shown(sink);
        if (!shown.Show(map)) {
            status = 1;
            continue;
        }
        CFixedSearchString source(searchString);
        CMapLineSink report(out, map);
        CEntitySearch search(shown.Editor(), source, report);
        search.OnDeleteAll();
        if (!report.Said()) {
            out << map << ": nothing deleted\n";
        }
        if (!dryRun && shown.Editor().IsModified() && shown.Save(map) != 0) {
            status = 1;
        }
    }
    return status;
}

}  // namespace entorra::cli
