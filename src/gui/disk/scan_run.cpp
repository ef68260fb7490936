#include "gui/disk/scan_run.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <mutex>

#include "common/date_time.h"
#include "common/message_routines.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "scan/scan_job.h"
#include "scan/scan_model.h"
#include "scan/snapshot_store.h"

namespace tandrel {

namespace {

constexpr double kSecond = 1.0 / 86400;

}  // namespace

TScanRun::TScanRun(TViewHost& host, TFormDiskTreeMap& map, QObject* parent) : QObject(parent), host_(host), map_(map) {
    setObjectName("ScanRun");
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TScanRun::Poll);
}

TScanRun::~TScanRun() {
    poll_->stop();
    host_.Model().AppClosing = true;
    job_.reset();  // waits for the worker
    if (wait_) wait_->deleteLater();
}

void TScanRun::Start(std::function<void()> finished, bool showProgress) {
    ScanModel& model = host_.Model();
    if (host_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    emit RunStarting();
    map_.StopWatcher();
    map_.DiskTreeMap_StopZoomAnimation();
    model.CancelOperation = false;
    model.PauseOperation = false;
    const std::string folder = map_.Folder();
    if (folder.empty()) return;
    const std::string path = ResolveSnapshotPath(model, folder);
    if (!platform::DirectoryExists(path) && !platform::FileExists(path)) {
        if (finished) finished();
        return;
    }
    scanPath_ = path;
    finished_ = std::move(finished);

    map_.SetRunning(true);
    emit SnapshotSavable(false);

    QWidget* window = host_.HostWindow();
    auto* wait = new TFormPleaseWait(model, window);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->cbAutoUpdate->setChecked(host_.AutoUpdateTreemap());
    wait->SetUpdateNow([this] { UpdateNow(); });
    wait_ = wait;
    host_.PleaseWaitSlot(1) = wait;

    // The views let go of the records and nodes before the reset frees them.
    ResetScanViews();
    LongestViewsRefreshMs = FinalViewsRefreshMs = 0;
    map_.DiskTreeMap_NewScan();
    PrepareScan(model, path, map_.IncludeFreeSpace());
    model.HardLinksOnce = host_.HardLinksOnce();
    map_.DiskTreeMap_Relayout(true);
    RefreshScanViews(false);
    FilterScanViews();
    RefreshOverview();
    job_ = std::make_unique<TThreadDiskTreemap>(model);
    job_->Start();
    liveScan_ = job_->IsLiveScan();
    // Nothing was painted since the window was made: it appears once, with
    // the auto-update controls of a live scan only.
    wait->ShowTreemapControls(liveScan_);
    if (showProgress) {
        wait->show();
        wait->move(window->geometry().center() - wait->rect().center());
    }
    model.ProgressText.SetText("Working...");
    nextStatisticsRefresh_ = Now() + kSecond;
    nextMapRefresh_ = Now() + 3 * kSecond;
    poll_->start();
}

void TScanRun::Poll() {
    ScanModel& model = host_.Model();
    if (wait_) wait_->Step();
    std::string progress = model.ProgressText.GetText();
    while (!progress.empty() && (progress.back() == '\n' || progress.back() == '\r')) progress.pop_back();
    host_.SetStatus(wait_, progress);
    if (model.AppClosing.load() || !job_ || !job_->threadRunning.load()) {
        EndRun();
        return;
    }
    if (!liveScan_ || !wait_ || !wait_->cbAutoUpdate->isChecked()) return;
    if (Now() >= nextStatisticsRefresh_) RefreshStatisticsDuringScan();
    if (wait_ && wait_->cbAutoUpdate->isChecked() && Now() >= nextMapRefresh_) RefreshDuringScan();
}

// Refreshes slower than 3 s turn auto-update off: the views must not take
// the window away from the user.
void TScanRun::RefreshStatisticsDuringScan() {
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(host_.Model().csTreemap);
        RefreshScanViews(false);
    }
    if (clock.elapsed() > 3000 && wait_) wait_->cbAutoUpdate->setChecked(false);
    nextStatisticsRefresh_ = Now() + kSecond;
}

void TScanRun::RefreshDuringScan() {
    QElapsedTimer clock;
    clock.start();
    map_.DiskTreeMap_Relayout(false);
    if (clock.elapsed() > 3000 && wait_) wait_->cbAutoUpdate->setChecked(false);
    FilterScanViews();
    RefreshOverview();
    nextMapRefresh_ = Now() + 3 * kSecond;
}

void TScanRun::UpdateNow() {
    ScanModel& model = host_.Model();
    if (model.DiskTreeMapEntries.Empty()) return;
    std::lock_guard lock(model.csTreemap);
    RefreshScanViews(false);
    map_.DiskTreeMap_Relayout(false);
    FilterScanViews();
    RefreshOverview();
}

void TScanRun::ResetScanViews() {
    std::lock_guard lock(host_.Model().csTreemap);
    if (ScanViews.reset) ScanViews.reset();
}

void TScanRun::RefreshScanViews(bool complete) {
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(host_.Model().csTreemap);
        if (ScanViews.refresh) ScanViews.refresh(complete);
    }
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (complete) {
        FinalViewsRefreshMs = ms;
    } else {
        LongestViewsRefreshMs = std::max(LongestViewsRefreshMs, ms);
    }
}

void TScanRun::FilterScanViews() {
    if (ScanViews.filter) ScanViews.filter();
}

void TScanRun::RefreshOverview() {
    if (ScanViews.overview) ScanViews.overview();
}

void TScanRun::EndRun() {
    poll_->stop();
    ScanModel& model = host_.Model();
    if (job_) {
        job_->WaitFor();
        if (job_->Failed() && !model.AppClosing.load()) host_.AddErrorLine(job_->ErrorText());
        job_.reset();
    }
    if (wait_) wait_->close();
    host_.PleaseWaitSlot(1) = nullptr;
    if (!model.AppClosing.load()) {
        emit SnapshotSavable(liveScan_ && !model.TempSnapshotFn.empty());
        map_.DiskTreeMap_Relayout(true);
        RefreshScanViews(true);
        FilterScanViews();
        RefreshOverview();
        map_.StartWatcher(scanPath_);
        map_.edSearchTermChange();
        emit ScanEnded(scanPath_, map_.MonitorChanges());
        host_.SetStatus(nullptr, "");
    }
    map_.SetRunning(false);
    if (auto finished = std::move(finished_)) finished();
}

}  // namespace tandrel
