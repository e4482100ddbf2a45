#include "cli/Batch.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <thread>

#include "base/Format.h"
#include "cli/Json.h"
#include "folders/MapList.h"
#include "io/FileIdentity.h"
#include "io/NativePath.h"

namespace entorra::cli {
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
bool IsSeparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) {
    return c == '/';
}
#endif

void AddFolder(const fs::path& folder, bool recursive, std::vector<std::string>& maps,
               IMessageSink& sink, bool& any) {
    std::string prefix = Utf8FromPath(folder);
    if (!prefix.empty() && !IsSeparator(prefix.back())) {
        prefix += kSeparator;
    }
    for (const std::string& name : ListMapFiles(MapPattern(prefix))) {
        maps.push_back(MapPath(prefix, name));
        any = true;
    }
    if (!recursive) {
        return;
    }
    // Subfolders in the map list's order; links to folders are not followed, so no loop.
    std::vector<std::string> subfolders;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_directory(typeError) && !entries->is_symlink(typeError)) {
            subfolders.push_back(Utf8FromPath(entries->path().filename()));
        }
    }
    if (error) {
        sink.ShowMessage(Format("Error reading the folder: %s.", Utf8FromPath(folder).c_str()));
    }
    std::sort(subfolders.begin(), subfolders.end(), MapNameLess);
    for (const std::string& name : subfolders) {
        AddFolder(PathFromUtf8(prefix + name), recursive, maps, sink, any);
    }
}

// Draws "[=====     ] 37/1000" on a terminal, at most a few times a second.
class CProgressBar {
public:
    CProgressBar(std::ostream* stream, std::size_t total) : m_stream(stream), m_nTotal(total) {}

    void Update(std::size_t done) {
        if (m_stream == nullptr) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (done != m_nTotal && m_bDrawn && now - m_lastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        m_lastDraw = now;
        constexpr std::size_t kWidth = 30;
        const std::size_t filled = m_nTotal == 0 ? kWidth : done * kWidth / m_nTotal;
        *m_stream << "\r[" << std::string(filled, '=') << std::string(kWidth - filled, ' ') << "] "
                  << done << '/' << m_nTotal << std::flush;
        m_bDrawn = true;
    }

    // Takes the bar off the line before anything else is printed.
    void Clear() {
        if (m_stream != nullptr && m_bDrawn) {
            *m_stream << "\r\033[K" << std::flush;
            m_bDrawn = false;
        }
    }

private:
    std::ostream* m_stream;
    std::size_t m_nTotal;
    bool m_bDrawn = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

void RunTask(const MapTask& task, std::size_t index, CMapReport& report) {
    try {
        task(index, report);
    } catch (const std::exception& error) {
        report.Fail(Format("%s: %s", report.Map().c_str(), error.what()));
    }
}

}  // namespace

std::vector<std::string> ExpandOperands(const std::vector<std::string>& operands, bool recursive,
                                        IMessageSink& sink) {
    std::vector<std::string> expanded;
    for (const std::string& operand : operands) {
        std::error_code error;
        if (fs::is_directory(PathFromUtf8(operand), error)) {
            bool any = false;
            AddFolder(PathFromUtf8(operand), recursive, expanded, sink, any);
            if (!any) {
                sink.ShowMessage(Format("No maps in the folder: %s.", operand.c_str()));
            }
        } else {
            expanded.push_back(operand);
        }
    }
    // One operand lists each file once (a folder's entries are unique); from several, a file
    // is known by its identity, whatever path names it, or else by its path.
    if (operands.size() <= 1) {
        return expanded;
    }
    std::vector<std::string> maps;
    std::set<FileId> seenFiles;
    std::set<std::string> seenPaths;
    for (std::string& map : expanded) {
        const std::optional<FileId> identity = IdentifyFile(map);
        const bool fresh =
            identity ? seenFiles.insert(*identity).second : seenPaths.insert(map).second;
        if (fresh) {
            maps.push_back(std::move(map));
        }
    }
    return maps;
}

CMapReport::CMapReport(std::string map) : m_strMap(std::move(map)) {}

void CMapReport::Fail() {
    m_bOk = false;
    m_strFailure = m_sink.messages.empty() ? std::string("failed") : m_sink.messages.back();
}

void CMapReport::Fail(const std::string& message) {
    m_sink.ShowMessage(message);
    m_bOk = false;
    m_strFailure = message;
}

Json CMapReport::ToJson() const {
    Json object = Json::object();
    object["map"] = JsonText(m_strMap);
    object["ok"] = m_bOk;
    if (!m_bOk) {
        object["message"] = JsonText(m_strFailure);
    }
    for (const auto& [key, value] : figures.items()) {
        object[key] = value;
    }
    return object;
}

int RunBatch(const CommandContext& context, const std::vector<std::string>& items,
             const MapTask& task) {
    const std::size_t count = items.size();
    std::vector<std::unique_ptr<CMapReport>> reports(count);
    for (std::size_t i = 0; i < count; ++i) {
        reports[i] = std::make_unique<CMapReport>(items[i]);
    }
    CProgressBar bar(count > 1 ? context.progress : nullptr, count);
    Json array = Json::array();
    int status = 0;
    const auto emit = [&](std::size_t i) {
        CMapReport& report = *reports[i];
        if (!report.Ok()) {
            status = 1;
        }
        // The bar comes off its line only for what is printed on the terminal beside it.
        if (!report.Messages().empty() || (context.outputOnTerminal && !context.json)) {
            bar.Clear();
        }
        if (context.json) {
            array.push_back(report.ToJson());
        } else {
            context.out << report.text;
            // Flushed for the eye and before messages, which must not overtake what came
            // before them; otherwise the stream's buffer spares a write per map.
            if (context.outputOnTerminal || !report.Messages().empty()) {
                context.out.flush();
            }
        }
        for (const std::string& message : report.Messages()) {
            context.sink.ShowMessage(message);
        }
        reports[i].reset();
    };

    const std::size_t jobs = std::min<std::size_t>(std::max(context.jobs, 1u), count);
    if (jobs <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            RunTask(task, i, *reports[i]);
            emit(i);
            bar.Update(i + 1);
        }
    } else {
        std::mutex mutex;
        std::condition_variable ready;
        std::vector<char> done(count, 0);
        std::size_t finished = 0;
        std::atomic<std::size_t> next{0};
        std::vector<std::jthread> workers;
        workers.reserve(jobs);
        for (std::size_t w = 0; w < jobs; ++w) {
            workers.emplace_back([&] {
                for (std::size_t i = next++; i < count; i = next++) {
                    RunTask(task, i, *reports[i]);
                    const std::lock_guard lock(mutex);
                    done[i] = 1;
                    ++finished;
                    ready.notify_one();
                }
            });
        }
        // This thread prints, in item order, whatever is ready.
        std::size_t printed = 0;
        while (printed < count) {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return done[printed] != 0 || finished == count; });
            const std::size_t finishedNow = finished;
            std::vector<std::size_t> batch;
            while (printed < count && done[printed] != 0) {
                batch.push_back(printed++);
            }
            lock.unlock();
            for (const std::size_t i : batch) {
                emit(i);
            }
            bar.Update(finishedNow);
        }
    }
    bar.Clear();
    if (context.json) {
        context.out << array.dump(2) << '\n';
    }
    context.out.flush();
    return status;
}

void TuneAllocatorForBatches() {
#if defined(__GLIBC__)
    // Up to the size of the largest maps; larger blocks are still mapped on their own.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

int NoMaps(const CommandContext& context) {
    context.sink.ShowMessage("No maps to work on.");
    if (context.json) {
        context.out << "[]\n";
    }
    return 1;
}

int RunOnMaps(const CommandContext& context, const std::vector<std::string>& operands,
              const std::function<void(const std::string& map, CMapReport& report)>& task) {
    const std::vector<std::string> maps = ExpandOperands(operands, context.recursive, context.sink);
    if (maps.empty()) {
        return NoMaps(context);
    }
    return RunBatch(context, maps,
                    [&](std::size_t index, CMapReport& report) { task(maps[index], report); });
}

}  // namespace entorra::cli
