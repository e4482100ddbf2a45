#include "cli/ProgressBar.h"

#include <ostream>
#include <string>

namespace entorra::cli {

CProgressBar::CProgressBar(std::ostream* stream, std::size_t total)
    : m_stream(stream), m_nTotal(total) {}

void CProgressBar::Update(std::size_t done) {
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

void CProgressBar::Clear() {
    if (m_stream != nullptr && m_bDrawn) {
        *m_stream << "\r\033[K" << std::flush;
        m_bDrawn = false;
    }
}

}  // namespace entorra::cli
