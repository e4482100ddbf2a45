#pragma once

#include <string>

namespace entorra {

// Where the core reports to the user: the dialog shows message boxes, the command-line
// tool prints to stderr, tests record what was said.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace entorra
