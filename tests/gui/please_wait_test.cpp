#include "gui/widgets/please_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "gui/widgets/elided_label.h"
#include "scan/scan_model.h"
#include "support/fire_timer.h"

namespace tandrel {
namespace {

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

// A thread's state letter: 'S' while it sleeps, 'R' while it runs.
char ThreadState(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < line.size() ? line[nameEnd + 2] : '?';
}

class PleaseWait : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow.resize(400, 300);
        mainWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    }

    ScanModel model;
    QWidget mainWindow;
};

// A long path over two lines (as a scan of "/" shows them) keeps both lines
// whole and visible: the path is shortened in the middle, its start and its
// file name stay, and the full text is still what a screen reader reads.
TEST_F(PleaseWait, ALongPathIsShortenedInTheMiddleAndStaysWhollyVisible) {
    TFormPleaseWait form(model, &mainWindow);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QString path = "/start-of-the-path";
    while (path.size() < 290) path += "/folder" + QString::number(path.size());
    path += "/name.end";
    ASSERT_GE(path.size(), 300);
    const QString full = "processing folder\r\n" + path;
    form.Label1->SetFullText(full);
    QApplication::processEvents();

    const QStringList lines = form.Label1->text().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "processing folder");
    EXPECT_TRUE(lines[1].startsWith("/start-of-the") && lines[1].endsWith("name.end")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QChar(0x2026))) << lines[1].toStdString();
    const QFontMetrics metrics = form.Label1->fontMetrics();
    for (const QString& line : lines) EXPECT_LE(metrics.horizontalAdvance(line), form.Label1->contentsRect().width());
    EXPECT_GE(form.Label1->contentsRect().height(), 2 * metrics.lineSpacing());
    const QRect inForm(form.Label1->mapTo(&form, QPoint(0, 0)), form.Label1->size());
    EXPECT_TRUE(form.rect().contains(inForm)) << "label outside the window";
    EXPECT_LE(form.width(), form.screen()->availableGeometry().width());
    EXPECT_EQ(form.Label1->FullText(), full);
    EXPECT_EQ(form.Label1->accessibleName(), full);
}

TEST_F(PleaseWait, CreationResetsTheFlagsAndHidesTheOptionalControls) {
    model.CancelOperation = true;
    model.PauseOperation = true;
    TFormPleaseWait form(model, &mainWindow);
    EXPECT_FALSE(model.CancelOperation);
    EXPECT_FALSE(model.PauseOperation);

    form.show();
    EXPECT_EQ(form.windowTitle(), "Please wait");
    EXPECT_EQ(form.Label1->text(), "Working");
    EXPECT_EQ(form.bPause->text(), "Pause");
    EXPECT_EQ(form.bCancel->text(), "Cancel");
    EXPECT_EQ(form.cbAutoUpdate->text(), "Auto-update (experimental)");
    EXPECT_EQ(form.bUpdateNow->text(), "update now");
    EXPECT_TRUE(form.Label1->isVisible() && form.Label2->isVisible() && form.bPause->isVisible() &&
                form.bCancel->isVisible());
    for (QWidget* hidden : {static_cast<QWidget*>(form.Label3), static_cast<QWidget*>(form.cbAutoUpdate),
                            static_cast<QWidget*>(form.bUpdateNow), static_cast<QWidget*>(form.bMinimize),
                            static_cast<QWidget*>(form.bRestore)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    form.ShowTreemapControls(true);
    EXPECT_TRUE(form.cbAutoUpdate->isVisible() && form.bUpdateNow->isVisible());
    form.ShowTreemapControls(false);
    EXPECT_FALSE(form.cbAutoUpdate->isVisible() || form.bUpdateNow->isVisible());
    // The settings store and the views find the controls by name.
    for (const char* name :
         {"Label1", "Label2", "Label3", "bPause", "bCancel", "cbAutoUpdate", "bUpdateNow", "bMinimize", "bRestore"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_NE(form.findChild<QTimer*>("Timer1"), nullptr);
}

TEST_F(PleaseWait, SpinnerCyclesAndHoldsWhilePaused) {
    TFormPleaseWait form(model, &mainWindow);
    form.show();
    auto steps = [&](int count) {
        std::string shown;
        for (int i = 0; i < count; ++i) {
            form.Step();
            shown += form.Label2->text().toStdString() + " ";
        }
        return shown;
    };
    EXPECT_EQ(steps(5), "/ -- \\ | / ");
    Click(form.bPause);
    EXPECT_EQ(steps(3), "-- -- -- ");
    Click(form.bPause);
    EXPECT_EQ(steps(3), "-- \\ | ");
}

TEST_F(PleaseWait, PauseTogglesTheFlagAndTheCaption) {
    TFormPleaseWait form(model, &mainWindow);
    form.show();
    Click(form.bPause);
    EXPECT_EQ(form.bPause->text(), "Resume");
    EXPECT_TRUE(model.PauseOperation);
    Click(form.bPause);
    EXPECT_EQ(form.bPause->text(), "Pause");
    EXPECT_FALSE(model.PauseOperation);
}

TEST_F(PleaseWait, PauseWaitsForTheModelLock) {
    TFormPleaseWait form(model, &mainWindow);
    form.show();
    const pid_t windowThread = gettid();
    std::atomic<bool> locked{false}, pressed{false}, pausedWhileLocked{true};
    QObject::connect(form.bPause, &QPushButton::pressed, [&] { pressed = true; });
    std::thread worker([&] {
        std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
        locked = true;
        // The model stays locked until the click is under way and the
        // window's thread sleeps, on the lock unless the click did not wait.
        while (!pressed) std::this_thread::yield();
        while (ThreadState(windowThread) != 'S') std::this_thread::yield();
        pausedWhileLocked = model.PauseOperation.load();
    });
    while (!locked) std::this_thread::yield();
    Click(form.bPause);
    worker.join();
    // The flag turned only after the worker let go of the model.
    EXPECT_FALSE(pausedWhileLocked);
    EXPECT_TRUE(model.PauseOperation);
}

TEST_F(PleaseWait, CancelSetsTheFlagOnce) {
    TFormPleaseWait form(model, &mainWindow);
    form.show();
    Click(form.bPause);
    Click(form.bCancel);
    EXPECT_TRUE(model.CancelOperation);
    EXPECT_FALSE(form.bCancel->isEnabled());
    // A paused worker still learns of the cancel: it checks the flag while it sleeps.
    EXPECT_TRUE(model.StopRequested());
}

TEST_F(PleaseWait, StartTimerRunsTheOperationOfItsModeOnce) {
    for (int mode : {0, 1, 2, 3, 4, 5}) {
        int treemap = 0, snapshots = 0, directories = 0;
        TFormPleaseWait form(model, &mainWindow);
        form.Mode = mode;
        form.SetStarter(TFormPleaseWait::ModeTreemapScan, [&] { ++treemap; });
        form.SetStarter(TFormPleaseWait::ModeSnapshotComparison, [&] { ++snapshots; });
        form.SetStarter(TFormPleaseWait::ModeDirectoryComparison, [&] { ++directories; });
        form.SetStarter(3, [&] { ADD_FAILURE() << "mode 3 starts nothing"; });
        EXPECT_EQ(treemap + snapshots + directories, 0);
        EXPECT_FALSE(form.Timer1->isActive());
        form.show();
        // The start waits a moment, for the window to be painted first.
        EXPECT_EQ(treemap + snapshots + directories, 0);
        EXPECT_EQ(form.Timer1->interval(), 100);
        ASSERT_TRUE(testing::FireTimer(*form.Timer1)) << mode;
        // Shown again: nothing starts a second time.
        form.hide();
        form.show();
        EXPECT_FALSE(form.Timer1->isActive()) << mode;
        EXPECT_EQ(treemap, mode == 1 ? 1 : 0) << mode;
        EXPECT_EQ(snapshots, mode == 2 ? 1 : 0) << mode;
        EXPECT_EQ(directories, mode == 4 ? 1 : 0) << mode;
    }
}

TEST_F(PleaseWait, UpdateNowRefreshesUnderTheModelLock) {
    TFormPleaseWait form(model, &mainWindow);
    form.ShowTreemapControls(true);
    form.show();
    Click(form.bUpdateNow);  // no refresh given: nothing happens
    int refreshes = 0;
    bool lockedMeanwhile = false;
    form.SetUpdateNow([&] {
        ++refreshes;
        lockedMeanwhile = !std::async(std::launch::async, [&] {
                               bool free = model.csTreemap.try_lock();
                               if (free) model.csTreemap.unlock();
                               return free;
                           }).get();
    });
    Click(form.bUpdateNow);
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(lockedMeanwhile);
}

TEST_F(PleaseWait, MinimizeHidesTheMainWindowAndRestoreBringsItBack) {
    TFormPleaseWait form(model, &mainWindow);
    form.bMinimize->show();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    Click(form.bMinimize);
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.bMinimize->isVisible());
    EXPECT_TRUE(form.bRestore->isVisible());
    QRect area = form.screen()->availableGeometry();
    EXPECT_EQ(form.frameGeometry().bottomRight(), area.bottomRight());

    Click(form.bRestore);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(form.bMinimize->isVisible());
    EXPECT_FALSE(form.bRestore->isVisible());
}

TEST_F(PleaseWait, ClosingWhileMinimizedRestoresTheMainWindowFirst) {
    TFormPleaseWait form(model, &mainWindow);
    form.bMinimize->show();
    form.show();
    Click(form.bMinimize);
    ASSERT_FALSE(mainWindow.isVisible());
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(form.isVisible());

    // A main window hidden on purpose (an unattended run) is not shown by closing.
    mainWindow.hide();
    TFormPleaseWait second(model, &mainWindow);
    second.show();
    EXPECT_TRUE(second.close());
    EXPECT_FALSE(mainWindow.isVisible());
}

}  // namespace
}  // namespace tandrel
