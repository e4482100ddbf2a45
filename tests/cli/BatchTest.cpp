#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

#include "cli/Batch.h"
#include "cli/Commands.h"
#include "tests/cli/CliTestSupport.h"

namespace entorra::cli {
namespace {

class Batch : public testing::CliTest {
protected:
    // Twelve maps, two of them broken, and a missing one.
    std::vector<std::string> MixedOperands() {
        for (int i = 0; i < 10; ++i) {
            Map(Format("maps/m%02d.bsp", i), fixtures::MakeEntityText(5 + 7 * i));
        }
        fixtures::WriteFileBytes(dir.File("maps/v29.bsp"),
                                 fixtures::CMapBuilder().Version(29).Build());
        fixtures::WriteFileBytes(dir.File("maps/short.bsp"), fixtures::Bytes(40, 7));
        return {dir.File("maps"), dir.File("missing.bsp")};
    }

    // stdout and the messages of one run.
    std::string Run(unsigned jobs, bool json,
                    int (*command)(const CommandContext&, const std::vector<std::string>&)) {
        sink.messages.clear();
        const int status = command(Context(jobs, json), MixedOperands());
        std::string all = std::to_string(status) + "\n" + out.str();
        for (const std::string& message : sink.messages) {
            all += "|" + message;
        }
        return all;
    }
};

using Command = int (*)(const CommandContext&, const std::vector<std::string>&);

struct NamedCommand {
    const char* name;
    Command run;
};

// A reading command, and whether its output is JSON.
class ParallelBatch : public Batch,
                      public ::testing::WithParamInterface<std::tuple<NamedCommand, bool>> {};

TEST_P(ParallelBatch, PrintsExactlyWhatOneJobPrints) {
    const auto [command, json] = GetParam();
    const std::string single = Run(1, json, command.run);
    EXPECT_EQ(single.substr(0, 2), "1\n");
    for (const unsigned jobs : {2u, 3u, 8u}) {
        EXPECT_EQ(Run(jobs, json, command.run), single) << jobs << " jobs";
    }
}

INSTANTIATE_TEST_SUITE_P(Batch, ParallelBatch,
                         ::testing::Combine(::testing::Values(NamedCommand{"census", &RunCensus},
                                                              NamedCommand{"info", &RunInfo},
                                                              NamedCommand{"check", &RunCheck},
                                                              NamedCommand{"show", &RunShow}),
                                            ::testing::Bool()),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).name) +
                                    (std::get<1>(test.param) ? "Json" : "Text");
                         });

TEST_F(Batch, AFailingMapDoesNotStopTheOthers) {
    const std::vector<std::string> operands = MixedOperands();
    EXPECT_EQ(RunCensus(Context(2, true), operands), 1);
    const nlohmann::json maps = Json();
    ASSERT_EQ(maps.size(), 13u);
    int ok = 0;
    for (const auto& map : maps) {
        ASSERT_TRUE(map.contains("map"));
        if (map["ok"].get<bool>()) {
            ++ok;
            EXPECT_FALSE(map.contains("message"));
            EXPECT_TRUE(map["T"].is_number() && map["CT"].is_number() && map["VIP"].is_number());
        } else {
            EXPECT_FALSE(map["message"].get<std::string>().empty());
        }
    }
    EXPECT_EQ(ok, 10);
    EXPECT_EQ(maps[11]["message"], "BSP is version 29, not 30");
    EXPECT_EQ(maps[12]["map"], dir.File("missing.bsp"));
}

TEST_F(Batch, ATaskThatThrowsFailsItsMapOnly) {
    const CommandContext context = Context(2, true);
    const int status =
        RunBatch(context, {"a", "b", "c"}, [](std::size_t index, CMapReport& report) {
            if (index == 1) {
                throw std::runtime_error("out of memory");
            }
            report.figures["index"] = index;
        });
    EXPECT_EQ(status, 1);
    const nlohmann::json maps = Json();
    EXPECT_EQ(maps[0]["index"], 0);
    EXPECT_EQ(maps[1]["message"], "b: out of memory");
    EXPECT_EQ(maps[2]["ok"], true);
}

}  // namespace
}  // namespace entorra::cli
