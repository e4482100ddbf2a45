#pragma once

#include <iostream>
#include <mutex>

#include "base/MessageSink.h"

namespace entorra::cli {

// The command-line tool's messages go to stderr, one after another.
class CConsoleSink final : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override {
        const std::lock_guard lock(m_mutex);
        std::cerr << text << '\n';
    }

private:
    std::mutex m_mutex;
};

}  // namespace entorra::cli
