#include "cli/ProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace entorra::cli {
namespace {

TEST(ProgressBar, DrawsTheFirstAndTheLastStateWhateverTheTime) {
    std::ostringstream terminal;
    CProgressBar bar(&terminal, 4);
    bar.Update(1);
    EXPECT_EQ(terminal.str(), "\r[=======                       ] 1/4");
    bar.Update(4);
    const std::string last = "\r[==============================] 4/4";
    EXPECT_EQ(terminal.str().substr(terminal.str().size() - last.size()), last);
}

TEST(ProgressBar, ComesOffTheLineOnlyWhenDrawn) {
    std::ostringstream terminal;
    CProgressBar bar(&terminal, 2);
    bar.Clear();
    EXPECT_EQ(terminal.str(), "");
    bar.Update(2);
    bar.Clear();
    EXPECT_EQ(terminal.str().substr(terminal.str().size() - 4), "\r\033[K");
    terminal.str("");
    bar.Clear();
    EXPECT_EQ(terminal.str(), "");
    // Drawn again right away after being cleared.
    bar.Update(1);
    EXPECT_EQ(terminal.str(), "\r[===============               ] 1/2");
}

TEST(ProgressBar, WithoutAStreamDrawsNothing) {
    CProgressBar bar(nullptr, 3);
    bar.Update(3);
    bar.Clear();
}

}  // namespace
}  // namespace entorra::cli
