#include "common/message_routines.h"

#include <gtest/gtest.h>

#include <regex>

#include "common/app_folders.h"
#include "platform/file_system.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

TEST(MessageRoutines, MessagesGoToTheSinkWithTheirKind) {
    struct KindRecorder : testing::RecordingMessages {
        void ShowMessage(MessageKind kind, const std::string& text) override {
            kinds.push_back(kind);
            RecordingMessages::ShowMessage(kind, text);
        }
        std::vector<MessageKind> kinds;
    } messages;
    ShowInfo("a");
    ShowInfoForeground("b");
    ShowError("c");
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(messages.kinds,
              (std::vector<MessageKind>{MessageKind::Info, MessageKind::InfoForeground, MessageKind::Error}));
}

TEST(MessageRoutines, QuestionsProceedOnlyOnTheAffirmativeButton) {
    testing::RecordingMessages messages;
    messages.answer = MessageAnswer::Ok;
    EXPECT_FALSE(ConfirmCancelled("Are you sure you want to delete?"));
    EXPECT_EQ(AskOkCancel("q", "caption"), MessageAnswer::Ok);
    messages.answer = MessageAnswer::Cancel;
    EXPECT_TRUE(ConfirmCancelled("Are you sure you want to delete?"));
    EXPECT_TRUE(IsNotYes("Overwrite?"));

    messages.answer = MessageAnswer::Yes;
    EXPECT_TRUE(IsYes("Overwrite?"));
    EXPECT_EQ(AskYesNoCancel("q"), MessageAnswer::Yes);
    messages.answer = MessageAnswer::No;
    EXPECT_FALSE(IsYes("Overwrite?"));
    EXPECT_TRUE(IsNotYes("Overwrite?"));
    EXPECT_EQ(messages.questions.size(), 8u);
    EXPECT_EQ(messages.questions.front(), "Are you sure you want to delete?");
}

TEST(Notify, PopsUpNormallyAndWritesPendingAlertsBehindAFullScreenApp) {
    testing::RecordingMessages messages;
    std::string log = PendingAlertsFile();
    EXPECT_EQ(log, AppSettingsFolder() + "pending_alerts.log");
    platform::DeleteFile(log);

    Notify("first");
    EXPECT_EQ(messages.notifications, std::vector<std::string>{"first"});
    EXPECT_FALSE(platform::PathExists(log));

    messages.fullScreen = true;
    Notify("second");
    Notify("third");
    EXPECT_EQ(messages.notifications.size(), 1u);
    std::string content = testing::ReadBytes(log);
    const std::regex expected(
        "(\xEF\xBB\xBF)?\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: second\r\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: third\r\n");
    EXPECT_TRUE(std::regex_match(content, expected)) << content;
    platform::DeleteFile(log);
}

TEST(EscapeAmpersands, DoublesEveryAmpersand) {
    EXPECT_EQ(EscapeAmpersands("Tom & Jerry && co&"), "Tom && Jerry &&&& co&&");
    EXPECT_EQ(EscapeAmpersands("none"), "none");
}

}  // namespace
}  // namespace tandrel
