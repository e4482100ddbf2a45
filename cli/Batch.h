#pragma once

// Runs one command over many maps: maps worked on in parallel, each map's output held back
// until every map before it has been printed, so that the output is the same for any number
// of jobs.

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/MessageSink.h"
#include "entities/EngineLint.h"
#include "io/FileSystem.h"

namespace entorra::cli {

using Json = nlohmann::ordered_json;

// What every command is given.
struct CommandContext {
    std::ostream& out;
    IMessageSink& sink;  // messages to the user: stderr in the tool
    IFileSystem& fileSystem = RealFileSystem();
    unsigned jobs = 1;
    bool json = false;
    bool recursive = false;
    // The stream a progress bar is drawn on, or null for none.
    std::ostream* progress = nullptr;
    // Whether out is the terminal the bar is drawn on.
    bool outputOnTerminal = false;
    // check and import lint entity texts for this engine; check prints its information
    // findings only when asked (JSON always holds them).
    EngineLintOptions lint{};
    bool lintInformation = false;
};

// One map's share of a command's output.
class CMapReport {
public:
    explicit CMapReport(std::string map);

    const std::string& Map() const { return m_strMap; }
    bool Ok() const { return m_bOk; }

    // Marks the map failed with the last message shown for it.
    void Fail();
    // Shows the message and marks the map failed with it.
    void Fail(const std::string& message);

    // Text-mode output for stdout.
    std::string text;
    // The command's figures for the JSON output.
    Json figures = Json::object();

    IMessageSink& Sink() { return m_sink; }
    const std::vector<std::string>& Messages() const { return m_sink.messages; }
    const std::string& Failure() const { return m_strFailure; }

    // {"map", "ok", "message" on failure, figures...}
    Json ToJson() const;

private:
    class CRecorder final : public IMessageSink {
    public:
        void ShowMessage(const std::string& message) override { messages.push_back(message); }
        std::vector<std::string> messages;
    };

    std::string m_strMap;
    bool m_bOk = true;
    std::string m_strFailure;
    CRecorder m_sink;
};

using MapTask = std::function<void(std::size_t index, CMapReport& report)>;

// Runs task for each of the items (maps, or a label per piece of work), with up to
// context.jobs at once, and prints the reports in item order: text and messages as each is
// ready, or one JSON array at the end. 0 when every report is ok, 1 otherwise.
int RunBatch(const CommandContext& context, const std::vector<std::string>& items,
             const MapTask& task);

// Says that the operands gave no map (an empty JSON array with --json); returns 1.
int NoMaps(const CommandContext& context);

using MapPathTask = std::function<void(const std::string& map, CMapReport& report)>;

// Maps from operands (ExpandOperands), then RunOnMapList.
int RunOnMaps(const CommandContext& context, const std::vector<std::string>& operands,
              const MapPathTask& task);

// RunBatch over maps already expanded; 1 without running anything when there is none.
int RunOnMapList(const CommandContext& context, const std::vector<std::string>& maps,
                 const MapPathTask& task);

}  // namespace entorra::cli
