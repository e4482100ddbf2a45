#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>

namespace entorra::cli {

// Draws "[=====     ] 37/1000" on a terminal, at most a few times a second, and always the
// last state.
class CProgressBar {
public:
    // A null stream draws nothing.
    CProgressBar(std::ostream* stream, std::size_t total);

    void Update(std::size_t done);

    // Takes the bar off the line before anything else is printed.
    void Clear();

private:
    std::ostream* m_stream;
    std::size_t m_nTotal;
    bool m_bDrawn = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace entorra::cli
