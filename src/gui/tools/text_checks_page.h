#pragma once
// The text file checks of the file-operations page: find files whose line
// ends are not CR LF, rewrite them with CR LF line ends, find files holding
// tabs. Each runs on a worker behind the progress window.
#include <QObject>
#include <memory>

#include "scan/text_checks.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace tandrel {

class TViewHost;
class ScanModel;

// The page's components; tests reach them through WidgetsForTest.
struct TFormTextChecksUi {
    QLineEdit* DirectoryEdit3 = nullptr;
    QLineEdit* edFilesWithTabFilter = nullptr;
    QPushButton *bFindUnixFormatFiles = nullptr, *bFixUnixFormat = nullptr, *bFindFilesWithTab = nullptr;
    QCheckBox* chkRemoveReadOnlyFlag = nullptr;
    QPlainTextEdit* memoFilesWithTab = nullptr;
};

class TFormTextChecks : public QObject, private TFormTextChecksUi {
    Q_OBJECT
public:
    // Adds its controls to the page's layout.
    TFormTextChecks(TViewHost& host, QWidget* page);
    ~TFormTextChecks() override;

    void FindUnixFormatFilesClick();
    void FixUnixFormatClick();
    void FindFilesWithTabClick();
    bool Running() const { return job_ != nullptr; }

    // Where the line-end search logs (the settings folder by default).
    void SetOptionsForTest(const TTextCheckOptions& options) { options_ = options; }
    TFormTextChecksUi& WidgetsForTest() { return *this; }

signals:
    // A tool ended (also when it was refused).
    void Finished();

private:
    void Start(TTextCheckJob job);
    void Poll();
    void End();

    TViewHost& host_;
    ScanModel& model_;
    QTimer* poll_ = nullptr;
    std::unique_ptr<TThreadTextChecks> job_;
    TTextCheckOptions options_;
};

}  // namespace tandrel
