#include "gui/disk/disk_treemap_view.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/date_time.h"
#include "common/message_routines.h"
#include "common/paths.h"
#include "common/strings.h"
#include "gui/shell/main_window.h"
#include "gui/shell/settings_panel.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/mounts.h"
#include "scan/scan_job.h"
#include "scan/scan_overview.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TFormDiskTreeMap::TFormDiskTreeMap(TFormMain& main, QWidget* page, QWidget* headerHost)
    : QObject(&main), main_(main) {
    setObjectName("FormDiskTreeMap");
    auto* header = new QHBoxLayout(headerHost);
    header->setContentsMargins(6, 4, 6, 4);
    header->addWidget(new QLabel("Folder:", headerHost));
    edTreemapDirectory = new QLineEdit(headerHost);
    edTreemapDirectory->setObjectName("edTreemapDirectory");
    edTreemapDirectory->setPlaceholderText("a folder, a mount point or a snapshot file");
    header->addWidget(edTreemapDirectory, 1);
    bStartTreemap = new QPushButton("Scan", headerHost);
    bStartTreemap->setObjectName("bStartTreemap");
    header->addWidget(bStartTreemap);
    bCancelTreemap = new QPushButton("Cancel", headerHost);
    bCancelTreemap->setObjectName("bCancelTreemap");
    bCancelTreemap->hide();
    header->addWidget(bCancelTreemap);
    // Copies of the settings panel's switches, named apart so that the
    // settings store finds the panel's own.
    cbIncludeFreeSpace = new QCheckBox("Include Free Space", headerHost);
    cbIncludeFreeSpace->setObjectName("cbIncludeFreeSpace_Treemap");
    header->addWidget(cbIncludeFreeSpace);
    cbMonitorChanges = new QCheckBox("Monitor changes (experimental)", headerHost);
    cbMonitorChanges->setObjectName("cbMonitorChanges_Treemap");
    header->addWidget(cbMonitorChanges);

    auto* body = new QVBoxLayout(page);
    imgTreeMap = new QLabel(page);
    imgTreeMap->setObjectName("imgTreeMap");
    imgTreeMap->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgTreeMap->setTextFormat(Qt::PlainText);
    imgTreeMap->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->addWidget(imgTreeMap, 1);
    panelDebug = new QLabel(page);
    panelDebug->setObjectName("panelDebug");
    panelDebug->hide();
    body->addWidget(panelDebug);
    panelSearchResults = new QFrame(page);
    panelSearchResults->setObjectName("panelSearchResults");
    panelSearchResults->setGeometry(40, 156, 240, 41);
    panelSearchResults->hide();

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormDiskTreeMap::Poll);
    connect(bStartTreemap, &QPushButton::clicked, this, [this] { bStartTreemapClick(); });
    connect(edTreemapDirectory, &QLineEdit::returnPressed, this, [this] { bStartTreemapClick(); });
    connect(bCancelTreemap, &QPushButton::clicked, this, &TFormDiskTreeMap::bCancelTreemapClick);
    connect(edTreemapDirectory, &QLineEdit::textChanged, this, &TFormDiskTreeMap::edTreemapDirectoryChange);
    edTreemapDirectoryChange();
}

TFormDiskTreeMap::~TFormDiskTreeMap() {
    poll_->stop();
    main_.Model().AppClosing = true;
    job_.reset();  // waits for the worker
    if (wait_) wait_->deleteLater();
}

void TFormDiskTreeMap::SetFolder(const std::string& folder) { edTreemapDirectory->setText(Q(folder)); }

std::string TFormDiskTreeMap::Folder() const { return Trim(edTreemapDirectory->text().toStdString()); }

void TFormDiskTreeMap::TakeSettings(const TSettingsPanel& settings) {
    cbIncludeFreeSpace->setChecked(settings.IncludeFreeSpace());
    cbMonitorChanges->setChecked(settings.MonitorChanges());
}

void TFormDiskTreeMap::ShowDebugPanels() {
    panelDebug->show();
    ShowSummary();
}

void TFormDiskTreeMap::edTreemapDirectoryChange() {
    // Free space belongs to a whole file system: offered for mount points only.
    const std::string folder = Folder();
    cbIncludeFreeSpace->setVisible(!folder.empty() && platform::IsMountPoint(folder));
}

void TFormDiskTreeMap::bCancelTreemapClick() { main_.Model().CancelOperation = true; }

void TFormDiskTreeMap::bStartTreemapClick(std::function<void()> finished, bool showProgress) {
    ScanModel& model = main_.Model();
    if (main_.OperationInProgress()) {
        Notify("Another operation is in progress");
        return;
    }
    model.CancelOperation = false;
    model.PauseOperation = false;
    const std::string folder = Folder();
    if (folder.empty()) return;
    std::string path = folder;
    // A bare snapshot name is found in the snapshots folder.
    const std::string inSnapshots = PathJoin(model.SnapshotsPath, folder);
    if (!model.SnapshotsPath.empty() && platform::FileExists(inSnapshots)) path = inSnapshots;
    if (!platform::DirectoryExists(path) && !platform::FileExists(path)) {
        if (finished) finished();
        return;
    }
    const bool snapshotRun = platform::FileExists(path) && !platform::DirectoryExists(path);
    scanPath_ = path;
    finished_ = std::move(finished);

    bStartTreemap->setEnabled(false);
    bCancelTreemap->show();
    edTreemapDirectory->setEnabled(false);
    main_.bTreeMap_SaveAsSnapshot3->setEnabled(false);

    auto* wait = new TFormPleaseWait(model, &main_);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(!snapshotRun);
    if (auto* autoUpdate = main_.findChild<QCheckBox*>("cbAutoUpdateTreemap"))
        wait->cbAutoUpdate->setChecked(autoUpdate->isChecked());
    wait_ = wait;
    main_.PleaseWaitSlot(1) = wait;
    if (showProgress) {
        wait->show();
        wait->move(main_.geometry().center() - wait->rect().center());
    }

    PrepareScan(model, path, cbIncludeFreeSpace->isVisible() && cbIncludeFreeSpace->isChecked());
    job_ = std::make_unique<TThreadDiskTreemap>(model);
    job_->Start();
    model.ProgressText.SetText("Working...");
    poll_->start();
}

void TFormDiskTreeMap::Poll() {
    ScanModel& model = main_.Model();
    if (wait_) wait_->Step();
    std::string progress = model.ProgressText.GetText();
    while (!progress.empty() && (progress.back() == '\n' || progress.back() == '\r')) progress.pop_back();
    main_.SetStatus(wait_, progress);
    if (model.AppClosing.load() || !job_ || !job_->threadRunning.load()) EndRun();
}

void TFormDiskTreeMap::EndRun() {
    poll_->stop();
    ScanModel& model = main_.Model();
    if (job_) {
        job_->WaitFor();
        if (job_->Failed() && !model.AppClosing.load()) main_.AddErrorLine(job_->ErrorText());
        job_.reset();
    }
    if (!model.AppClosing.load()) {
        main_.bTreeMap_CompareSnapshotWith->setEnabled(true);
        main_.bTreeMap_SaveAsSnapshot3->setEnabled(platform::DirectoryExists(scanPath_) && !model.TempSnapshotFn.empty());
        ShowSummary();
        main_.SetStatus(nullptr, "");
    }
    if (wait_) wait_->close();
    main_.PleaseWaitSlot(1) = nullptr;
    bStartTreemap->setEnabled(true);
    bCancelTreemap->hide();
    edTreemapDirectory->setEnabled(true);
    if (auto finished = std::move(finished_)) finished();
}

void TFormDiskTreeMap::ShowSummary() {
    ScanModel& model = main_.Model();
    std::string text;
    {
        std::lock_guard lock(model.csTreemap);
        for (const auto& [description, value] : BuildOverviewRows(model, scanPath_, Now()))
            text += description + "\t" + value + "\n";
    }
    imgTreeMap->setText(Q(text));
    if (panelDebug->isVisible()) {
        panelDebug->setText(QString("nodes: %1, folder records: %2")
                                .arg(model.DiskTreeMapEntries.Count())
                                .arg(model.DirectoryEntries.Count()));
    }
}

}  // namespace tandrel
