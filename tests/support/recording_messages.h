#pragma once
// A Messages sink for tests: records everything and answers as told.
#include <string>
#include <vector>

#include "common/messages.h"

namespace tandrel::testing {

class RecordingMessages : public Messages {
public:
    RecordingMessages() { SetMessages(this); }
    ~RecordingMessages() override { SetMessages(nullptr); }

    void ShowMessage(MessageKind kind, const std::string& text) override { shown.push_back(text); }
    void AddErrorLine(const std::string& text) override { errorLines.push_back(text); }
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }
    MessageAnswer Ask(AskButtons buttons, const std::string& text, const std::string& caption) override {
        questions.push_back(text);
        return answer;
    }
    bool IsCtrlHeld() override { return ctrlHeld; }
    bool IsFullScreenAppInFront() override { return fullScreen; }

    std::vector<std::string> shown, errorLines, notifications, questions;
    MessageAnswer answer = MessageAnswer::Cancel;
    bool ctrlHeld = false;
    bool fullScreen = false;
};

}  // namespace tandrel::testing
