#include "gui/tools/text_checks_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/message_routines.h"
#include "common/split.h"
#include "common/strings.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

TFormTextChecks::TFormTextChecks(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), host_(host), model_(host.Model()) {
    setObjectName("FormTextChecks");
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    auto* box = new QGroupBox("Text file checks", page);
    box->setObjectName("gbTextFileChecks");
    auto* layout = new QVBoxLayout(box);
    auto* grid = new QGridLayout;
    DirectoryEdit3 = new QLineEdit(box);
    named(DirectoryEdit3, "DirectoryEdit3", "Folder:");
    edFilesWithTabFilter = new QLineEdit("*.pas; *.php; *.dfm", box);
    named(edFilesWithTabFilter, "edFilesWithTabFilter", "Files:");
    grid->addWidget(new QLabel("Folder:", box), 0, 0);
    grid->addWidget(DirectoryEdit3, 0, 1);
    grid->addWidget(new QLabel("Files:", box), 1, 0);
    grid->addWidget(edFilesWithTabFilter, 1, 1);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    bFindUnixFormatFiles = new QPushButton("FindUnixFormatFiles", box);
    named(bFindUnixFormatFiles, "bFindUnixFormatFiles", "FindUnixFormatFiles");
    bFixUnixFormat = new QPushButton("Fix Unix Format", box);
    named(bFixUnixFormat, "bFixUnixFormat", "Fix Unix Format");
    bFindFilesWithTab = new QPushButton("FindFilesWithTab", box);
    named(bFindFilesWithTab, "bFindFilesWithTab", "FindFilesWithTab");
    chkRemoveReadOnlyFlag = new QCheckBox("Remove read-only flag", box);
    named(chkRemoveReadOnlyFlag, "chkRemoveReadOnlyFlag", "Remove read-only flag");
    for (QWidget* w : {static_cast<QWidget*>(bFindUnixFormatFiles), static_cast<QWidget*>(bFixUnixFormat),
                       static_cast<QWidget*>(bFindFilesWithTab), static_cast<QWidget*>(chkRemoveReadOnlyFlag)})
        buttons->addWidget(w);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    memoFilesWithTab = new QPlainTextEdit(box);
    named(memoFilesWithTab, "memoFilesWithTab", "Results");
    memoFilesWithTab->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(memoFilesWithTab, 1);

    auto* pageLayout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!pageLayout) pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(box, 1);

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormTextChecks::Poll);
    connect(bFindUnixFormatFiles, &QPushButton::clicked, this, &TFormTextChecks::FindUnixFormatFilesClick);
    connect(bFixUnixFormat, &QPushButton::clicked, this, &TFormTextChecks::FixUnixFormatClick);
    connect(bFindFilesWithTab, &QPushButton::clicked, this, &TFormTextChecks::FindFilesWithTabClick);
}

TFormTextChecks::~TFormTextChecks() {
    poll_->stop();
    if (job_) model_.CancelOperation = true;
    job_.reset();  // waits for the worker
}

void TFormTextChecks::FindUnixFormatFilesClick() { Start(TTextCheckJob::FindUnixFormat); }
void TFormTextChecks::FixUnixFormatClick() { Start(TTextCheckJob::FixUnixFormat); }
void TFormTextChecks::FindFilesWithTabClick() { Start(TTextCheckJob::FindTabs); }

void TFormTextChecks::Start(TTextCheckJob job) {
    if (host_.OperationInProgress() || Running()) {
        Notify("Another operation is in progress");
        emit Finished();
        return;
    }
    const std::string folder = Trim(S(DirectoryEdit3->text()));
    if (job != TTextCheckJob::FixUnixFormat && !platform::DirectoryExists(folder)) {
        ShowInfo("Folder not found: " + folder);
        emit Finished();
        return;
    }
    QWidget* window = host_.HostWindow();
    auto* wait = new TFormPleaseWait(model_, window);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(false);
    host_.PleaseWaitSlot(3) = wait;
    wait->show();
    wait->move(window->geometry().center() - wait->rect().center());
    model_.CancelOperation = false;
    model_.PauseOperation = false;
    for (QWidget* w : {bFindUnixFormatFiles, bFixUnixFormat, bFindFilesWithTab}) w->setEnabled(false);
    TStringList files;
    if (job == TTextCheckJob::FixUnixFormat)
        files = SplitToList(S(memoFilesWithTab->toPlainText()), "\n");
    else
        memoFilesWithTab->clear();
    model_.ProgressText.SetText("Working...");
    job_ = std::make_unique<TThreadTextChecks>(model_, &model_.ProgressText);
    job_->Init(job, folder, S(edFilesWithTabFilter->text()), std::move(files), chkRemoveReadOnlyFlag->isChecked(),
               options_);
    job_->Start();
    poll_->start();
}

void TFormTextChecks::Poll() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    if (job_ && job_->threadRunning.load() && !model_.AppClosing.load()) return;
    End();
}

void TFormTextChecks::End() {
    poll_->stop();
    if (!job_) return;
    job_->WaitFor();
    CloseToolPleaseWait(host_.PleaseWaitSlot(3));
    for (QWidget* w : {bFindUnixFormatFiles, bFixUnixFormat, bFindFilesWithTab}) w->setEnabled(true);
    if (job_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(job_->ErrorText());
    std::string status;
    if (job_->job == TTextCheckJob::FixUnixFormat) {
        int fixed = 0;
        for (const TFixResult& result : job_->fixes) {
            if (result.outcome == TFixOutcome::Fixed) ++fixed;
            // A line that names no file is passed over, as are files already right.
            if (result.outcome != TFixOutcome::Fixed && result.outcome != TFixOutcome::Unchanged &&
                result.outcome != TFixOutcome::Missing)
                host_.AddErrorLine(FixResultText(result));
        }
        status = "Files fixed: " + std::to_string(fixed);
    } else {
        QStringList lines;
        for (const std::string& line : job_->found) lines << Q(line);
        memoFilesWithTab->setPlainText(lines.join('\n'));
        status = "Files found: " + std::to_string(job_->found.size());
    }
    if (model_.CancelOperation.load()) status = "Cancelled";
    job_.reset();
    host_.SetStatus(nullptr, status);
    emit Finished();
}

}  // namespace tandrel
