#pragma once

// Every message box of the program goes through this interface: the messages of the core and
// the dialog, and the one question, whether to save. Tests answer it instead of a user.

#include <string>

#include "base/MessageSink.h"

class QWidget;

namespace entorra {

class IUserPrompt : public IMessageSink {
public:
    // The save question: true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};

// Modal message boxes captioned "Entorra" with the warning icon, owned by a window.
class CMessageBoxPrompt final : public IUserPrompt {
public:
    explicit CMessageBoxPrompt(QWidget* owner = nullptr) : m_pOwner(owner) {}
    void SetOwner(QWidget* owner) { m_pOwner = owner; }

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

private:
    QWidget* Owner() const;

    QWidget* m_pOwner;
};

}  // namespace entorra
