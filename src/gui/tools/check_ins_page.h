#pragma once
// The pending check-ins page: source files newer than their copy in a backup
// repository that mirrors the source folders, found on a worker behind the
// progress window, filtered by include and exclude terms, with commands that
// hand a file's folder to the external check-in program, open the folder,
// edit the file or append a line end to it.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "common/types.h"
#include "scan/check_ins.h"

class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QWidget;

namespace tandrel {

class TViewHost;
class ScanModel;
class TListViewEx;

// The page's components; tests reach them through WidgetsForTest.
struct TFormBrenixRCSUi {
    QWidget* FormPanel_BrenixRCS = nullptr;
    QLineEdit* edBrenixRCSPath = nullptr;
    QLineEdit* edBrenixRCS_Extensions = nullptr;
    QLineEdit* edBrenixRCSFilter_include = nullptr;
    QLineEdit* edBrenixRCSFilter_exclude = nullptr;
    // Where the external check-in program is; it gets one quoted folder.
    QLineEdit* edBrenixRCSProgram = nullptr;
    QPushButton *bCheckRepository = nullptr, *bProcessFolder = nullptr, *bCopyToClipboard = nullptr;
    QTabWidget* pcBrenixRCS = nullptr;
    QWidget *tsResults = nullptr, *tsStats = nullptr;
    TListViewEx* lvBrenixRCS_results = nullptr;
    QPlainTextEdit *memoMissingFiles = nullptr, *memoSourceDirectories = nullptr, *memoSourceFiles = nullptr;
    // The result lines of the last check, one per pending file (hidden).
    QPlainTextEdit* memoBrenixRCS_results = nullptr;
    QTimer* TimerBrenixRCSFilter = nullptr;
    QMenu* popupBrenixRCS = nullptr;
    QAction *pi_BrenixRCS = nullptr, *pi_OpenFolder = nullptr, *pi_EditFile = nullptr, *pi_TouchFile = nullptr;
};

class TFormBrenixRCS : public QObject, private TFormBrenixRCSUi {
    Q_OBJECT
public:
    TFormBrenixRCS(TViewHost& host, QWidget* page);
    ~TFormBrenixRCS() override;

    void bCheckRepositoryClick();
    void TimerBrenixRCSFilterTimer();
    void bCopyToClipboardClick();
    // The context commands, on the focused (else first selected) row.
    void pi_BrenixRCSClick();
    void pi_OpenFolderClick();
    void pi_EditFileClick();
    void pi_TouchFileClick();

    bool Running() const { return job_ != nullptr; }
    // The rows shown, in order.
    const std::vector<TCheckInRow>& Rows() const { return rows_; }
    TFormBrenixRCSUi& WidgetsForTest() { return *this; }

signals:
    // A check ended (also when it was refused or cancelled).
    void CheckFinished();

private:
    void BuildWidgets(QWidget* page);
    void Poll();
    void EndCheck();
    int CurrentRow() const;

    TViewHost& host_;
    ScanModel& model_;
    QTimer* poll_ = nullptr;
    std::unique_ptr<TThreadCheckIns> job_;
    TStringList resultLines_;
    std::vector<TCheckInRow> rows_;
};

}  // namespace tandrel
