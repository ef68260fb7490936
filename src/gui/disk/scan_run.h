#pragma once
// One scan run of the treemap's folder field: a live scan or a snapshot
// load on the scan job, a progress window in the first slot, a poll every
// 100 ms that shows the job's progress and, with auto-update on, refreshes
// the folder views each second and the map every three, then the final
// refresh of everything when the job has ended. The window owns it.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace tandrel {

class TFormDiskTreeMap;
class TFormPleaseWait;
class TThreadDiskTreemap;
class TViewHost;

class TScanRun : public QObject {
    Q_OBJECT
public:
    TScanRun(TViewHost& host, TFormDiskTreeMap& map, QObject* parent = nullptr);
    // Waits for a running job, which sees AppClosing and ends.
    ~TScanRun() override;

    // Starts a run of the map's folder field. The optional callback runs once
    // the run has ended (cancelled or not). Without a progress window
    // (showProgress false) the run is invisible.
    void Start(std::function<void()> finished = {}, bool showProgress = true);
    bool Running() const { return job_ != nullptr; }
    // One refresh of the map and the views from the model as it stands.
    void UpdateNow();

    // The disk views a run keeps current beside the map; the window connects
    // them. The caller holds the model lock for the reset and the refresh.
    struct TScanViews {
        std::function<void()> reset;                 // forget the last scan
        std::function<void(bool complete)> refresh;  // bring the folder views up to date
        std::function<void()> filter;                // rebuild the filtered rows
        std::function<void()> overview;              // rebuild the overview
    } ScanViews;
    // Milliseconds of the longest refresh of those views during the last
    // run and of its final pass.
    double LongestViewsRefreshMs = 0;
    double FinalViewsRefreshMs = 0;

signals:
    // A run is about to start: a change watcher of the last one stops.
    void RunStarting();
    // Whether the scan in the model can be saved as a snapshot now.
    void SnapshotSavable(bool savable);
    // A run ended with the window still open: the scanned path and whether
    // "Monitor changes (experimental)" was ticked.
    void ScanEnded(const std::string& scanPath, bool monitor);

private:
    void Poll();
    void EndRun();
    void RefreshDuringScan();
    void RefreshStatisticsDuringScan();
    // Each runs its view when connected.
    void ResetScanViews();
    void RefreshScanViews(bool complete);
    void FilterScanViews();
    void RefreshOverview();

    TViewHost& host_;
    TFormDiskTreeMap& map_;
    std::unique_ptr<TThreadDiskTreemap> job_;
    QPointer<TFormPleaseWait> wait_;
    QTimer* poll_ = nullptr;
    std::function<void()> finished_;
    std::string scanPath_;
    bool liveScan_ = false;
    double nextMapRefresh_ = 0;
    double nextStatisticsRefresh_ = 0;
};

}  // namespace tandrel
