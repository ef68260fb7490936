#include "common/messages.h"

#include <atomic>
#include <cstdio>

namespace tandrel {

namespace {

const char* KindLabel(MessageKind kind) { return kind == MessageKind::Error ? "Error: " : ""; }

void PrintLine(const std::string& prefix, const std::string& text) {
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), text.c_str());
}

HeadlessMessages& Headless() {
    static HeadlessMessages headless;
    return headless;
}

std::atomic<Messages*> current{nullptr};

}  // namespace

void HeadlessMessages::ShowMessage(MessageKind kind, const std::string& text) { PrintLine(KindLabel(kind), text); }

void HeadlessMessages::AddErrorLine(const std::string& text) { PrintLine("", text); }

void HeadlessMessages::ShowNotification(const std::string& text) { PrintLine("", text); }

MessageAnswer HeadlessMessages::Ask(AskButtons buttons, const std::string& text, const std::string& caption) {
    MessageAnswer answer;
    if (buttons == AskButtons::OkCancel)
        answer = answerYes_ ? MessageAnswer::Ok : MessageAnswer::Cancel;
    else
        answer = answerYes_ ? MessageAnswer::Yes : MessageAnswer::No;
    const char* shown = answer == MessageAnswer::Ok    ? "OK"
                        : answer == MessageAnswer::Yes ? "Yes"
                        : answer == MessageAnswer::No  ? "No"
                                                       : "Cancel";
    PrintLine(caption.empty() ? "" : caption + ": ", text + " [" + shown + "]");
    return answer;
}

Messages& GetMessages() {
    Messages* m = current.load(std::memory_order_acquire);
    return m ? *m : Headless();
}

void SetMessages(Messages* messages) { current.store(messages, std::memory_order_release); }

}  // namespace tandrel
