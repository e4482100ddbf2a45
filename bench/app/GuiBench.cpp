// The dialog against the bare editor control, side by side in one run, offscreen:
//   - showing a map of 2 MiB of entity text, from the choice in the map list to the census and
//     the painted window, against loading the file and setting the same text into a bare
//     QScintilla widget and painting it;
//   - Delete All of 10,000 blocks in a 1 MiB text, against the same 10,000 deletions sent
//     straight to a bare widget as SCI_DELETERANGE in one undo action;
//   - painting a screenful of text full of the code page's characters 0x80-0x9F, which the
//     editor draws itself, against the same text with letters in their place.
// The ratios are printed at the end.

#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/EntorraDlg.h"
#include "app/Resource.h"
#include "app/ScintillaEditor.h"
#include "bsp/BspFile.h"
#include "entities/DeleteAllPlan.h"
#include "entities/EntityText.h"
#include "folders/MapFolder.h"
#include "tests/fixtures/MapBuilder.h"
#include "tests/support/MemorySettingsStore.h"

namespace {

using namespace entorra;
using Sci = QsciScintillaBase;

class CSilentPrompt final : public IUserPrompt {
public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
};

class CNoPicker final : public IFolderPicker {
public:
    std::optional<std::string> SelectFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

std::filesystem::path BenchFolder() {
    auto folder = std::filesystem::temp_directory_path() / "entorra-gui-bench";
    std::filesystem::create_directories(folder);
    return folder;
}

// A map whose editor text is at least 2 MiB.
const std::string& BigMapPath() {
    static const std::string path = [] {
        int blocks = 1000;
        while (MakeEditorText(fixtures::MakeEntityText(blocks)).size() < 2u * 1024 * 1024) {
            blocks += 1000;
        }
        const std::string file = (BenchFolder() / "big.bsp").string();
        fixtures::WriteFileBytes(file, fixtures::MakeMap(fixtures::MakeEntityText(blocks)));
        return file;
    }();
    return path;
}

// 1 MiB of editor text in which 10,000 blocks contain "info_target" and the rest do not.
const std::string& DeleteAllText() {
    static const std::string text = [] {
        std::string result;
        int targets = 0;
        int fillers = 0;
        while (targets < 10000) {
            result += "{\r\n\"classname\" \"info_target\"\r\n\"targetname\" \"t" +
                      std::to_string(targets++) + "\"\r\n}\r\n";
            result += "{\r\n\"classname\" \"light\"\r\n\"origin\" \"" + std::to_string(fillers++) +
                      " 0 0\"\r\n}\r\n";
        }
        while (result.size() < 1024u * 1024u) {
            result += "{\r\n\"classname\" \"light\"\r\n\"origin\" \"" + std::to_string(fillers++) +
                      " 0 0\"\r\n}\r\n";
        }
        return result;
    }();
    return text;
}

struct CDialogRun {
    entorra::testing::CMemorySettingsStore settings;
    CSilentPrompt prompt;
    CNoPicker picker;
    std::unique_ptr<CEntorraDlg> dialog;

    explicit CDialogRun(const std::string& folder) {
        StoreMapFolder(settings, folder);
        CDialogSetup setup;
        setup.settings = &settings;
        setup.prompt = &prompt;
        setup.picker = &picker;
        setup.rules = LinuxRules((BenchFolder() / "home").string());
        dialog = std::make_unique<CEntorraDlg>(setup);
        dialog->OnInitDialog();
        dialog->show();
        QApplication::processEvents();
    }
    template <typename T>
    T* Control(const char* name) const {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
};

// A bare editor control in a window of the dialog's editor's size.
std::unique_ptr<QsciScintilla> BareEditor(QSize size) {
    auto editor = std::make_unique<QsciScintilla>();
    editor->resize(size);
    editor->show();
    QApplication::processEvents();
    return editor;
}

void BM_ShowMapInDialog(benchmark::State& state) {
    const std::string folder = std::filesystem::path(BigMapPath()).parent_path().string() + "/";
    CDialogRun run(folder);
    QListWidget* list = run.Control<QListWidget>(IDC_MAP_LIST);
    for (auto _ : state) {
        {
            const QSignalBlocker quiet(list);
            list->clearSelection();
        }
        list->setCurrentRow(0);  // as a click on the map: load, editor, title, census
        run.dialog->repaint();
    }
    if (run.dialog->Editor().Length() < 2 * 1024 * 1024) {
        state.SkipWithError("the map was not shown");
    }
    state.SetBytesProcessed(state.iterations() * run.dialog->Editor().Length());
}
BENCHMARK(BM_ShowMapInDialog)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShowMapInBareEditor(benchmark::State& state) {
    CDialogRun run(std::filesystem::path(BigMapPath()).parent_path().string() + "/");
    auto editor = BareEditor(run.dialog->Editor().size());
    run.dialog->hide();
    CSilentPrompt prompt;
    CBspFile file(prompt);
    file.Load(BigMapPath());
    const std::string text = MakeEditorText(file.GetEntityText());
    for (auto _ : state) {
        file.Load(BigMapPath());
        editor->SendScintilla(Sci::SCI_SETTEXT, std::uintptr_t{0}, text.c_str());
        editor->repaint();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ShowMapInBareEditor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeleteAllInDialog(benchmark::State& state) {
    CDialogRun run((BenchFolder() / "none").string() + "/");
    run.Control<QComboBox>(IDC_ENTITY_COMBO)->setEditText(QStringLiteral("info_target"));
    CScintillaEditor& editor = run.dialog->Editor();
    const std::string& text = DeleteAllText();
    for (auto _ : state) {
        state.PauseTiming();
        editor.SetText(text);
        state.ResumeTiming();
        run.dialog->OnDeleteAll();
    }
    // One undo step brings every block back.
    editor.Undo();
    if (editor.GetText() != text) {
        state.SkipWithError("one undo did not restore the text");
    }
}
BENCHMARK(BM_DeleteAllInDialog)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same deletions sent straight to a bare widget. With `reported` the widget reports each
// one as it does by default; without, the deletions go unreported as the dialog's editor sends
// them in a batch.
void DeleteRangesInBareEditor(benchmark::State& state, bool reported) {
    CDialogRun run((BenchFolder() / "none").string() + "/");
    auto editor = BareEditor(run.dialog->Editor().size());
    run.dialog->hide();
    const std::string& text = DeleteAllText();
    const DeleteAllPlan plan = PlanDeleteAll(CSearchString("info_target"), text, 0);
    if (plan.count != 10000) {
        state.SkipWithError("the text does not hold 10,000 blocks");
    }
    const long mask = editor->SendScintilla(Sci::SCI_GETMODEVENTMASK);
    const long quiet =
        mask & ~(Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT | Sci::SC_MOD_BEFOREINSERT |
                 Sci::SC_MOD_BEFOREDELETE | Sci::SC_PERFORMED_USER | Sci::SC_PERFORMED_UNDO |
                 Sci::SC_PERFORMED_REDO | Sci::SC_MULTISTEPUNDOREDO | Sci::SC_LASTSTEPINUNDOREDO |
                 Sci::SC_STARTACTION | Sci::SC_MULTILINEUNDOREDO);
    for (auto _ : state) {
        state.PauseTiming();
        editor->SendScintilla(Sci::SCI_SETTEXT, std::uintptr_t{0}, text.c_str());
        editor->SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
        state.ResumeTiming();
        editor->SendScintilla(Sci::SCI_SETMODEVENTMASK,
                              static_cast<unsigned long>(reported ? mask : quiet));
        editor->SendScintilla(Sci::SCI_BEGINUNDOACTION);
        for (auto range = plan.ranges.rbegin(); range != plan.ranges.rend(); ++range) {
            editor->SendScintilla(Sci::SCI_DELETERANGE, static_cast<unsigned long>(range->start),
                                  static_cast<long>(range->end - range->start));
        }
        editor->SendScintilla(Sci::SCI_ENDUNDOACTION);
        editor->SendScintilla(Sci::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
    }
}

void BM_DeleteRangesInBareEditor(benchmark::State& state) {
    DeleteRangesInBareEditor(state, false);
}
BENCHMARK(BM_DeleteRangesInBareEditor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeleteRangesInBareEditorReported(benchmark::State& state) {
    DeleteRangesInBareEditor(state, true);
}
BENCHMARK(BM_DeleteRangesInBareEditorReported)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_UndoDeleteAllInDialog(benchmark::State& state) {
    CDialogRun run((BenchFolder() / "none").string() + "/");
    run.Control<QComboBox>(IDC_ENTITY_COMBO)->setEditText(QStringLiteral("info_target"));
    CScintillaEditor& editor = run.dialog->Editor();
    const std::string& text = DeleteAllText();
    for (auto _ : state) {
        state.PauseTiming();
        editor.SetText(text);
        run.dialog->OnDeleteAll();
        state.ResumeTiming();
        editor.Undo();
    }
    if (editor.GetText() != text) {
        state.SkipWithError("one undo did not restore the text");
    }
}
BENCHMARK(BM_UndoDeleteAllInDialog)->Unit(benchmark::kMillisecond)->UseRealTime();

// A screenful of entity text whose values hold the code page's characters (0x80-0x9F), or the
// same text with a letter in their place, repainted: what drawing those characters costs.
std::string PaintedText(bool codePage) {
    std::string text;
    for (int line = 0; line < 200; ++line) {
        text += codePage ? "\"message\" \"\x93quoted\x94 \x80 5 \x85 \x96 \x99 \x91x\x92\"\r\n"
                         : "\"message\" \"qquotedq q 5 q q q qxq\"\r\n";
    }
    return text;
}

void PaintEditor(benchmark::State& state, bool codePage) {
    CScintillaEditor editor;
    editor.resize(580, 560);
    editor.show();
    editor.SetText(PaintedText(codePage));
    QApplication::processEvents();
    for (auto _ : state) {
        editor.viewport()->repaint();
    }
}

void BM_PaintCodePageText(benchmark::State& state) {
    PaintEditor(state, true);
}
BENCHMARK(BM_PaintCodePageText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintLetters(benchmark::State& state) {
    PaintEditor(state, false);
}
BENCHMARK(BM_PaintLetters)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console table, and the times kept for the ratios.
class CRatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // Single runs, or the median of repetitions when there are some.
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            if (run.run_type == Run::RT_Iteration ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")) {
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> times;
};

void PrintRatio(const CRatioReporter& reporter, const char* what, const std::string& dialog,
                const std::string& bare, const char* note = "(at most 2)") {
    const auto mine = reporter.times.find(dialog);
    const auto base = reporter.times.find(bare);
    if (mine == reporter.times.end() || base == reporter.times.end() || base->second <= 0) {
        return;
    }
    std::printf("%-36s %8.2f ms vs %8.2f ms  ratio %.2f %s\n", what, mine->second, base->second,
                mine->second / base->second, note);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    PrintRatio(reporter, "show a 2 MiB map", "BM_ShowMapInDialog/real_time",
               "BM_ShowMapInBareEditor/real_time");
    PrintRatio(reporter, "Delete All of 10,000 blocks in 1 MiB", "BM_DeleteAllInDialog/real_time",
               "BM_DeleteRangesInBareEditor/real_time");
    PrintRatio(reporter, "  (a bare widget reporting each one)", "BM_DeleteAllInDialog/real_time",
               "BM_DeleteRangesInBareEditorReported/iterations:1/real_time");
    // Scintilla's own drawing of these bytes (as boxes) costs about 2.5 times the letters.
    PrintRatio(reporter, "paint a screen of code page chars", "BM_PaintCodePageText/real_time",
               "BM_PaintLetters/real_time", "(Scintilla's boxes alone: about 2.5)");
    benchmark::Shutdown();
    return 0;
}
