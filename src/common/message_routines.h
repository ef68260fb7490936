#pragma once
// Message boxes, questions and the unobtrusive notification, all through the
// process-wide Messages sink (GetMessages()), so that engines never need a window.
#include <string>
#include <string_view>

#include "common/messages.h"

namespace tandrel {

void ShowInfo(const std::string& text);
// Owned by the window in front rather than by the application.
void ShowInfoForeground(const std::string& text);
void ShowError(const std::string& text);

// Yes, No or Cancel.
MessageAnswer AskYesNoCancel(const std::string& text, const std::string& caption = {});
bool IsYes(const std::string& text);
bool IsNotYes(const std::string& text);

// OK or Cancel.
MessageAnswer AskOkCancel(const std::string& text, const std::string& caption = {});
// True unless OK was pressed.
bool ConfirmCancelled(const std::string& text);

// A fading pop-up; while a full-screen application is in front, a line
// "yyyy-mm-dd hh:nn:ss: text" in "pending_alerts.log" of the settings
// folder instead, so that nothing pops up over it.
void Notify(const std::string& text);
// The file Notify writes to while a full-screen application is in front.
std::string PendingAlertsFile();

// Every "&" doubled, so that labels show it instead of an accelerator.
std::string EscapeAmpersands(std::string_view text);

}  // namespace tandrel
