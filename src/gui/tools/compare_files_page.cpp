#include "gui/tools/compare_files_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/messages.h"
#include "compare/compare_cache.h"
#include "compare/file_compare_thread.h"
#include "compare/file_content_compare.h"
#include "gui/shell/view_host.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

void Colour(QLineEdit* edit, const QColor& background, const QColor& text) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    edit->setPalette(palette);
}

}  // namespace

TFormCompareFiles::TFormCompareFiles(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), main_(host), model_(host.Model()) {
    setObjectName("FormCompareFiles");
    auto* grid = new QGridLayout;
    FilenameEditA1 = new QLineEdit(page);
    FilenameEditA1->setObjectName("FilenameEditA1");
    FilenameEditA2 = new QLineEdit(page);
    FilenameEditA2->setObjectName("FilenameEditA2");
    grid->addWidget(new QLabel("File1", page), 0, 0);
    grid->addWidget(FilenameEditA1, 0, 1);
    grid->addWidget(new QLabel("File2", page), 1, 0);
    grid->addWidget(FilenameEditA2, 1, 1);
    auto* buttons = new QHBoxLayout;
    bCompareFiles = new QPushButton("Compare", page);
    bCompareFiles->setObjectName("bCompareFiles");
    bPauseCompareFiles = new QPushButton("Pause", page);
    bPauseCompareFiles->setObjectName("bPauseCompareFiles");
    bPauseCompareFiles->hide();
    bCancelCompareFiles = new QPushButton("Cancel", page);
    bCancelCompareFiles->setObjectName("bCancelCompareFiles");
    bCancelCompareFiles->hide();
    buttons->addWidget(bCompareFiles);
    buttons->addWidget(bPauseCompareFiles);
    buttons->addWidget(bCancelCompareFiles);
    buttons->addStretch(1);
    progressBarCompareFile = new QProgressBar(page);
    progressBarCompareFile->setObjectName("progressBarCompareFile");
    progressBarCompareFile->setRange(0, 100);
    progressBarCompareFile->setValue(0);
    progressBarCompareFile->hide();
    labelCompareStatus = new QLabel(page);
    labelCompareStatus->setObjectName("labelCompareStatus");
    edFileCompareResult = new QLineEdit(page);
    edFileCompareResult->setObjectName("edFileCompareResult");
    edFileCompareResult->setReadOnly(true);

    auto* layout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!layout) layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(progressBarCompareFile);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel("Compare status:", page));
    statusRow->addWidget(labelCompareStatus, 1);
    layout->addLayout(statusRow);
    layout->addWidget(edFileCompareResult);
    layout->addStretch(1);

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormCompareFiles::Poll);
    connect(bCompareFiles, &QPushButton::clicked, this, &TFormCompareFiles::bCompareFilesClick);
    connect(bPauseCompareFiles, &QPushButton::clicked, this, [this] {
        ScanModel& model = main_.Model();
        model.PauseOperation = !model.PauseOperation.load();
        bPauseCompareFiles->setText(model.PauseOperation.load() ? "Resume" : "Pause");
    });
    connect(bCancelCompareFiles, &QPushButton::clicked, this, [this] { main_.Model().CancelOperation = true; });
}

TFormCompareFiles::~TFormCompareFiles() {
    model_.CancelOperation = true;
    job_.reset();  // waits for the worker
}

bool TFormCompareFiles::Running() const { return job_ && job_->threadRunning.load(); }

void TFormCompareFiles::SetStandalone(const std::string& file1, const std::string& file2) {
    FilenameEditA1->setText(Q(file1));
    FilenameEditA2->setText(Q(file2));
}

void TFormCompareFiles::bCompareFilesClick() {
    if (Running()) return;
    ScanModel& model = main_.Model();
    Colour(edFileCompareResult, Qt::white, Qt::black);
    edFileCompareResult->setText("Comparing...");
    labelCompareStatus->clear();
    bCompareFiles->hide();
    progressBarCompareFile->setValue(0);
    progressBarCompareFile->show();
    model.CancelOperation = false;
    model.PauseOperation = false;
    bCancelCompareFiles->show();
    bPauseCompareFiles->show();
    bPauseCompareFiles->setText("Pause");

    const std::string file1 = FilenameEditA1->text().toStdString();
    const std::string file2 = FilenameEditA2->text().toStdString();
    if (!platform::FileExists(file1)) {
        main_.AddErrorLine("file: " + file1 + " not found");
        edFileCompareResult->clear();
        Finish();
        return;
    }
    if (!platform::FileExists(file2)) {
        main_.AddErrorLine("file: " + file2 + " not found");
        edFileCompareResult->clear();
        Finish();
        return;
    }
    if (SameFilePath(file1, file2)) {
        GetMessages().ShowMessage(MessageKind::Info, "File 1 and 2, both refer to the same file.");
        edFileCompareResult->clear();
        Finish();
        return;
    }
    result_ = FC_EMPTY;
    // The page compares what is on disk now: the cache is not asked.
    job_ = std::make_unique<TThreadCompareFile>(model, ComparisonCache());
    job_->Init(file1, file2, false);
    job_->Start();
    poll_->start();
}

void TFormCompareFiles::Poll() {
    if (!job_) return;
    const auto done = static_cast<std::int64_t>(job_->totalBytesRead.load());
    const auto size = static_cast<std::int64_t>(job_->fileSize.load());
    if (size > 0) {
        const std::string text = BlockProgressInMiB(done, size);
        main_.SetStatus2(nullptr, text);
        labelCompareStatus->setText(Q(text));
        progressBarCompareFile->setValue(static_cast<int>(done * 100 / size));
    }
    if (job_->threadRunning.load()) return;
    poll_->stop();
    job_->WaitFor();
    result_ = job_->compareStatus.load();
    job_.reset();
    main_.SetStatus2(nullptr, "");
    ShowResult(result_.load());
    Finish();
}

void TFormCompareFiles::ShowResult(TFileCompareResult result) {
    edFileCompareResult->setText(Q(std::string(CompareResultText(result))));
    if (result == FC_IDENTICAL)
        Colour(edFileCompareResult, QColor(0, 128, 0), Qt::white);
    else
        Colour(edFileCompareResult, Qt::red, Qt::white);
}

void TFormCompareFiles::Finish() {
    main_.SetStatus(nullptr, edFileCompareResult->text().toStdString());
    bCompareFiles->show();
    progressBarCompareFile->hide();
    bCancelCompareFiles->hide();
    bPauseCompareFiles->hide();
    emit Finished(result_.load());
}

}  // namespace tandrel
