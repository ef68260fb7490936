#include "common/message_routines.h"

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/strings.h"
#include "common/text_file.h"

namespace tandrel {

void ShowInfo(const std::string& text) { GetMessages().ShowMessage(MessageKind::Info, text); }

void ShowInfoForeground(const std::string& text) { GetMessages().ShowMessage(MessageKind::InfoForeground, text); }

void ShowError(const std::string& text) { GetMessages().ShowMessage(MessageKind::Error, text); }

MessageAnswer AskYesNoCancel(const std::string& text, const std::string& caption) {
    return GetMessages().Ask(AskButtons::YesNoCancel, text, caption);
}

bool IsYes(const std::string& text) { return AskYesNoCancel(text) == MessageAnswer::Yes; }

bool IsNotYes(const std::string& text) { return !IsYes(text); }

MessageAnswer AskOkCancel(const std::string& text, const std::string& caption) {
    return GetMessages().Ask(AskButtons::OkCancel, text, caption);
}

bool ConfirmCancelled(const std::string& text) { return AskOkCancel(text) != MessageAnswer::Ok; }

std::string PendingAlertsFile() { return AppSettingsFile("pending_alerts.log"); }

void Notify(const std::string& text) {
    Messages& messages = GetMessages();
    if (!messages.IsFullScreenAppInFront()) {
        messages.ShowNotification(text);
        return;
    }
    // A hint that cannot be logged is not worth interrupting the user for.
    AppendLineToFile(PendingAlertsFile(), FormatDateTimeSec(Now()) + ": " + text);
}

std::string EscapeAmpersands(std::string_view text) { return ReplaceAll(text, "&", "&&"); }

}  // namespace tandrel
