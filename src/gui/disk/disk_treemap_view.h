#pragma once
// The treemap page: the folder field with "Scan" and "Cancel", and the scan
// run that fills the model from a live scan or a snapshot while a progress
// window shows what it does. The map itself is drawn on this page's surface.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace tandrel {

class TFormMain;
class TFormPleaseWait;
class TSettingsPanel;
class TThreadDiskTreemap;

class TFormDiskTreeMap : public QObject {
    Q_OBJECT
public:
    // Builds its controls into the treemap page and the header host.
    TFormDiskTreeMap(TFormMain& main, QWidget* page, QWidget* headerHost);
    // Waits for a running job, which sees AppClosing and ends.
    ~TFormDiskTreeMap() override;

    // A scan run of the folder field: a live scan or a snapshot load. The
    // optional callback runs once the run has ended (cancelled or not).
    // Without a progress window (showProgress false) the run is invisible.
    void bStartTreemapClick(std::function<void()> finished = {}, bool showProgress = true);
    void bCancelTreemapClick();
    bool Running() const { return job_ != nullptr; }

    void SetFolder(const std::string& folder);
    std::string Folder() const;
    // "Include Free Space" and "Monitor changes (experimental)" from the settings panel.
    void TakeSettings(const TSettingsPanel& settings);
    void ShowDebugPanels();

    QLineEdit* edTreemapDirectory = nullptr;
    QPushButton* bStartTreemap = nullptr;
    QPushButton* bCancelTreemap = nullptr;
    QCheckBox* cbIncludeFreeSpace = nullptr;
    QCheckBox* cbMonitorChanges = nullptr;
    QLabel* imgTreeMap = nullptr;
    QFrame* panelSearchResults = nullptr;
    QLabel* panelDebug = nullptr;

private:
    void Poll();
    void EndRun();
    void ShowSummary();
    void edTreemapDirectoryChange();

    TFormMain& main_;
    std::unique_ptr<TThreadDiskTreemap> job_;
    QPointer<TFormPleaseWait> wait_;
    QTimer* poll_ = nullptr;
    std::function<void()> finished_;
    std::string scanPath_;
};

}  // namespace tandrel
