#include "cli/Batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

#include "base/Format.h"
#include "cli/Json.h"
#include "cli/Operands.h"
#include "cli/ProgressBar.h"

namespace entorra::cli {

namespace {

void RunTask(const MapTask& task, std::size_t index, CMapReport& report) {
    try {
        task(index, report);
    } catch (const std::exception& error) {
        report.Fail(Format("%s: %s", report.Map().c_str(), error.what()));
    }
}

}  // namespace

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

int NoMaps(const CommandContext& context) {
    context.sink.ShowMessage("No maps to work on.");
    if (context.json) {
        context.out << "[]\n";
    }
    return 1;
}

int RunOnMaps(const CommandContext& context, const std::vector<std::string>& operands,
              const MapPathTask& task) {
    return RunOnMapList(context, ExpandOperands(operands, context.recursive, context.sink), task);
}

int RunOnMapList(const CommandContext& context, const std::vector<std::string>& maps,
                 const MapPathTask& task) {
    if (maps.empty()) {
        return NoMaps(context);
    }
    return RunBatch(context, maps,
                    [&](std::size_t index, CMapReport& report) { task(maps[index], report); });
}

}  // namespace entorra::cli
