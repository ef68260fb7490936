#pragma once
// The progress window of a long operation: status lines, a spinner, Pause and
// Cancel, and for live treemap scans the auto-update box and "update now".
// It is not modal, so the views stay usable while the worker runs; it only
// flips the shared flags that the workers poll.
#include <QDialog>
#include <QPointer>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tandrel {

class ScanModel;
class TElidedLabel;

class TFormPleaseWait : public QDialog {
    Q_OBJECT

public:
    // What Timer1 starts once the window is shown.
    enum : int { ModeTreemapScan = 1, ModeSnapshotComparison = 2, ModeDirectoryComparison = 4 };

    // parent is the main window: minimize hides it, restore shows it again.
    // Clears the model's cancel and pause flags.
    explicit TFormPleaseWait(ScanModel& model, QWidget* parent = nullptr);

    // Advances the spinner; a steady "--" while paused.
    void Step();
    // cbAutoUpdate and bUpdateNow, for live treemap scans only.
    void ShowTreemapControls(bool show);

    // The operation Timer1 starts for mode 1, 2 or 4; other modes start nothing.
    void SetStarter(int mode, std::function<void()> start);
    // The treemap view's full refresh, run by "update now" under csTreemap.
    void SetUpdateNow(std::function<void()> updateNow) { updateNow_ = std::move(updateNow); }

    TElidedLabel* Label1;  // status, long paths shortened in the middle
    QLabel* Label2;        // spinner
    QLabel* Label3;        // second status line, hidden until used
    QPushButton* bPause;
    QPushButton* bCancel;
    QCheckBox* cbAutoUpdate;
    QPushButton* bUpdateNow;
    QPushButton* bMinimize;
    QPushButton* bRestore;
    QTimer* Timer1;  // single shot, started when the window is first shown
    int Mode = 0;    // which starter Timer1 runs

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void bPauseClick();
    void bCancelClick();
    void bMinimizeClick();
    void bRestoreClick();
    void bUpdateNowClick();
    void Timer1Timer();
    void RestoreMainWindow();

    ScanModel& model_;
    int spinnerIndex_ = 0;
    bool started_ = false;           // Timer1 has fired; a second show starts nothing
    bool mainWindowHidden_ = false;  // hidden by bMinimize, so ours to show again
    std::function<void()> startTreemapScan_, startSnapshotComparison_, startDirectoryComparison_;
    std::function<void()> updateNow_;
};

// The progress window of a tool page's long work: centred over parent, held
// in the window's slot for it (so the busy guard sees it), deleted on close.
TFormPleaseWait* OpenToolPleaseWait(QPointer<TFormPleaseWait>& slot, ScanModel& model, QWidget* parent, bool withPause);
void CloseToolPleaseWait(QPointer<TFormPleaseWait>& slot);

}  // namespace tandrel
