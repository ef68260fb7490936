#include "gui/widgets/please_wait.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <mutex>

#include "gui/widgets/elided_label.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

// The delay between the first show and the start of the operation, long
// enough for the window to be painted before the work takes over.
constexpr int kStartDelayMs = 100;

QPushButton* MakeLink(const QString& text, const QString& name, QWidget* parent) {
    auto* link = new QPushButton(text, parent);
    link->setObjectName(name);
    link->setFlat(true);
    link->setAutoDefault(false);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet("QPushButton { border: none; padding: 0; color: palette(link); text-decoration: underline; }");
    return link;
}

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace

TFormPleaseWait::TFormPleaseWait(ScanModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName("FormPleaseWait");
    setWindowTitle("Please wait");
    setModal(false);
    setMinimumWidth(380);

    Label1 = Named(new TElidedLabel("Working", this), "Label1");
    Label2 = Named(new QLabel(this), "Label2");
    Label2->setMinimumWidth(fontMetrics().horizontalAdvance("--") * 2);
    Label2->setAlignment(Qt::AlignCenter);
    Label3 = Named(new QLabel(this), "Label3");
    Label3->setWordWrap(true);
    Label3->hide();
    bPause = Named(new QPushButton("Pause", this), "bPause");
    bCancel = Named(new QPushButton("Cancel", this), "bCancel");
    cbAutoUpdate = Named(new QCheckBox("Auto-update (experimental)", this), "cbAutoUpdate");
    bUpdateNow = MakeLink("update now", "bUpdateNow", this);
    bMinimize = MakeLink("minimize", "bMinimize", this);
    bRestore = MakeLink("restore", "bRestore", this);
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(kStartDelayMs);

    auto* status = new QHBoxLayout;
    status->addWidget(Label2, 0, Qt::AlignTop);
    status->addWidget(Label1, 1);
    auto* treemapRow = new QHBoxLayout;
    treemapRow->addWidget(cbAutoUpdate);
    treemapRow->addWidget(bUpdateNow);
    treemapRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bMinimize);
    buttons->addWidget(bRestore);
    buttons->addStretch(1);
    buttons->addWidget(bPause);
    buttons->addWidget(bCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(status);
    layout->addWidget(Label3);
    layout->addLayout(treemapRow);
    layout->addLayout(buttons);

    connect(bPause, &QPushButton::clicked, this, &TFormPleaseWait::bPauseClick);
    connect(bCancel, &QPushButton::clicked, this, &TFormPleaseWait::bCancelClick);
    connect(bMinimize, &QPushButton::clicked, this, &TFormPleaseWait::bMinimizeClick);
    connect(bRestore, &QPushButton::clicked, this, &TFormPleaseWait::bRestoreClick);
    connect(bUpdateNow, &QPushButton::clicked, this, &TFormPleaseWait::bUpdateNowClick);
    connect(Timer1, &QTimer::timeout, this, &TFormPleaseWait::Timer1Timer);

    // Every operation starts unpaused and not cancelled.
    model_.ClearForNewJob();
    bMinimize->hide();
    bRestore->hide();
    ShowTreemapControls(false);
}

void TFormPleaseWait::Step() {
    static const char* const kFrames[] = {"/", "--", "\\", "|"};
    if (model_.PauseOperation) {
        Label2->setText("--");
        return;
    }
    Label2->setText(kFrames[spinnerIndex_]);
    spinnerIndex_ = (spinnerIndex_ + 1) % 4;
}

void TFormPleaseWait::ShowTreemapControls(bool show) {
    cbAutoUpdate->setVisible(show);
    bUpdateNow->setVisible(show);
}

void TFormPleaseWait::SetStarter(int mode, std::function<void()> start) {
    switch (mode) {
        case ModeTreemapScan:
            startTreemapScan_ = std::move(start);
            break;
        case ModeSnapshotComparison:
            startSnapshotComparison_ = std::move(start);
            break;
        case ModeDirectoryComparison:
            startDirectoryComparison_ = std::move(start);
            break;
        default:
            break;  // no other mode starts anything
    }
}

void TFormPleaseWait::done(int result) {
    RestoreMainWindow();
    QDialog::done(result);
}

void TFormPleaseWait::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_ && !Timer1->isActive()) Timer1->start();
}

void TFormPleaseWait::bPauseClick() {
    // The lock keeps the flag from turning while a worker is between its check and its change.
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    bool paused = !model_.PauseOperation;
    model_.PauseOperation = paused;
    bPause->setText(paused ? "Resume" : "Pause");
}

void TFormPleaseWait::bCancelClick() {
    {
        std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
        model_.CancelOperation = true;
    }
    bCancel->setEnabled(false);
}

void TFormPleaseWait::bMinimizeClick() {
    QWidget* mainWindow = parentWidget();
    if (mainWindow && mainWindow->isVisible()) {
        mainWindow->hide();
        mainWindowHidden_ = true;
    }
    bMinimize->hide();
    bRestore->show();
    if (QScreen* screen = this->screen()) {
        QRect area = screen->availableGeometry();
        QRect frame = frameGeometry();
        move(area.x() + area.width() - frame.width(), area.y() + area.height() - frame.height());
    }
}

void TFormPleaseWait::bRestoreClick() {
    RestoreMainWindow();
    bRestore->hide();
    bMinimize->show();
}

void TFormPleaseWait::bUpdateNowClick() {
    if (!updateNow_) return;
    auto updateNow = updateNow_;
    std::lock_guard<std::recursive_mutex> lock(model_.csTreemap);
    updateNow();
}

void TFormPleaseWait::Timer1Timer() {
    started_ = true;
    std::function<void()> start;
    switch (Mode) {
        case ModeTreemapScan:
            start = startTreemapScan_;
            break;
        case ModeSnapshotComparison:
            start = startSnapshotComparison_;
            break;
        case ModeDirectoryComparison:
            start = startDirectoryComparison_;
            break;
        default:
            return;
    }
    // A copy: the operation may run its own loop and close this window meanwhile.
    if (start) start();
}

void TFormPleaseWait::RestoreMainWindow() {
    // Only what minimize hid: a main window kept hidden on purpose (an
    // unattended scan) stays hidden.
    if (!mainWindowHidden_) return;
    mainWindowHidden_ = false;
    if (QWidget* mainWindow = parentWidget()) mainWindow->show();
}

TFormPleaseWait* OpenToolPleaseWait(QPointer<TFormPleaseWait>& slot, ScanModel& model, QWidget* parent,
                                    bool withPause) {
    auto* wait = new TFormPleaseWait(model, parent);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(false);
    wait->bPause->setVisible(withPause);
    slot = wait;
    wait->show();
    wait->move(parent->geometry().center() - wait->rect().center());
    return wait;
}

void CloseToolPleaseWait(QPointer<TFormPleaseWait>& slot) {
    if (slot) slot->close();
    slot = nullptr;
}

}  // namespace tandrel
