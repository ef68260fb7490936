#pragma once
// How engines and common routines talk to the user without knowing whether a
// window exists. The window implements Messages on its own thread; a headless
// run prints to standard error.
#include <string>

namespace tandrel {

enum class MessageKind { Info, InfoForeground, Error };
enum class AskButtons { YesNoCancel, OkCancel };
enum class MessageAnswer { Yes, No, Ok, Cancel };

class Messages {
public:
    virtual ~Messages() = default;
    // A modal box with the given icon kind.
    virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
    // A line at the top of the "Messages" log.
    virtual void AddErrorLine(const std::string& text) = 0;
    // The fading pop-up of Notify (the full-screen test is decided by the caller).
    virtual void ShowNotification(const std::string& text) = 0;
    // A modal question; the answer is one of the buttons offered.
    virtual MessageAnswer Ask(AskButtons buttons, const std::string& text, const std::string& caption) = 0;
    // True while the user holds the Ctrl key (a window only).
    virtual bool IsCtrlHeld() { return false; }
    // True while a full-screen application is in front of the desktop.
    virtual bool IsFullScreenAppInFront() { return false; }
};

// Prints every message to standard error; questions get the cautious answer
// (No, or Cancel) unless another default is set.
class HeadlessMessages : public Messages {
public:
    void ShowMessage(MessageKind kind, const std::string& text) override;
    void AddErrorLine(const std::string& text) override;
    void ShowNotification(const std::string& text) override;
    MessageAnswer Ask(AskButtons buttons, const std::string& text, const std::string& caption) override;
    // Answer every question with Yes/OK (unattended runs that were told to proceed).
    void SetAnswerYes(bool yes) { answerYes_ = yes; }

private:
    bool answerYes_ = false;
};

// The process-wide sink; a HeadlessMessages until someone installs another.
// SetMessages(nullptr) restores the headless one. The object must outlive its use.
Messages& GetMessages();
void SetMessages(Messages* messages);

}  // namespace tandrel
