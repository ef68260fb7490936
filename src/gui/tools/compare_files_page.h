#pragma once
// The "Compare files" page: two files compared byte for byte on a worker,
// with Pause, Cancel, a progress bar and the verdict in green or red. In the
// file-compare start mode the page is the whole window.
#include <QObject>
#include <atomic>
#include <memory>
#include <string>

#include "compare/compare_result.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

namespace tandrel {

class TViewHost;
class ScanModel;
class TThreadCompareFile;

// The page's components, private to the page (inherited privately, as with a
// designer form); tests reach them through WidgetsForTest.
struct TFormCompareFilesUi {
    QLineEdit* FilenameEditA1 = nullptr;
    QLineEdit* FilenameEditA2 = nullptr;
    QPushButton* bCompareFiles = nullptr;
    QPushButton* bPauseCompareFiles = nullptr;
    QPushButton* bCancelCompareFiles = nullptr;
    QProgressBar* progressBarCompareFile = nullptr;
    QLabel* labelCompareStatus = nullptr;
    QLineEdit* edFileCompareResult = nullptr;
};

class TFormCompareFiles : public QObject, private TFormCompareFilesUi {
    Q_OBJECT
public:
    TFormCompareFiles(TViewHost& host, QWidget* page);
    // Stops a running comparison and waits for it.
    ~TFormCompareFiles() override;

    // The two files of a comparison the page makes as the whole window.
    void SetStandalone(const std::string& file1, const std::string& file2);
    void bCompareFilesClick();
    bool Running() const;
    TFileCompareResult LastResult() const { return result_.load(); }

    TFormCompareFilesUi& WidgetsForTest() { return *this; }

signals:
    void Finished(int result);

private:
    void Poll();
    void Finish();
    void ShowResult(TFileCompareResult result);

    TViewHost& main_;
    ScanModel& model_;  // also reached while the window is being destroyed
    QTimer* poll_ = nullptr;
    std::unique_ptr<TThreadCompareFile> job_;
    std::atomic<TFileCompareResult> result_{FC_EMPTY};
};

}  // namespace tandrel
