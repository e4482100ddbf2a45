#pragma once

// Stand-ins for the user in dialog tests: answers to the message boxes and to the folder
// picker, given in advance and recorded as they are used.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/UserPrompt.h"
#include "folders/MapList.h"

namespace entorra::testing {

class CScriptedPrompt final : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    // Answers from `answers` in turn; No when they have run out.
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
};

class CScriptedPicker final : public IFolderPicker {
public:
    std::optional<std::string> SelectFolder(const std::string& prompt,
                                            const std::string& startFolder) override {
        prompts.push_back(prompt);
        startFolders.push_back(startFolder);
        if (choices.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::deque<std::optional<std::string>> choices;  // nothing = cancelled
    std::vector<std::string> prompts;
    std::vector<std::string> startFolders;
};

}  // namespace entorra::testing
