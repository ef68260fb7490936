#include "gui/tools/check_ins_page.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/list_view_ex.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QString Lines(const TStringList& lines) {
    QStringList list;
    for (const std::string& line : lines) list << Q(line);
    return list.join('\n');
}

// The persisted value the window keeps for a control of this page.
QString StoredValue(QWidget* window, const char* name, const QString& fallback) {
    auto* edit = window->findChild<QLineEdit*>(name);
    return edit ? edit->text() : fallback;
}

std::string WithSlash(std::string path) {
    if (!path.empty() && path.back() != platform::PathDelim) path += platform::PathDelim;
    return path;
}

// A program given by name is looked for on PATH, as a shell would.
std::string ProgramPath(const std::string& program) {
    if (program.empty() || program.find(platform::PathDelim) != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    for (const std::string& folder : SplitString(path ? path : "", ":", false)) {
        if (folder.empty()) continue;
        const std::string candidate = WithSlash(folder) + program;
        if (platform::FileExists(candidate)) return candidate;
    }
    return program;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

TFormBrenixRCS::TFormBrenixRCS(TViewHost& host, QWidget* page)
    : QObject(host.HostWindow()), host_(host), model_(host.Model()) {
    setObjectName("FormBrenixRCS");
    BuildWidgets(page);
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFormBrenixRCS::Poll);
}

TFormBrenixRCS::~TFormBrenixRCS() {
    poll_->stop();
    if (job_) model_.CancelOperation = true;
    job_.reset();  // waits for the worker
}

void TFormBrenixRCS::BuildWidgets(QWidget* page) {
    QWidget* window = host_.HostWindow();
    auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(name);
        widget->setAccessibleName(accessible);
        return widget;
    };
    FormPanel_BrenixRCS = new QWidget(page);
    FormPanel_BrenixRCS->setObjectName("FormPanel_BrenixRCS");
    auto* layout = new QVBoxLayout(FormPanel_BrenixRCS);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("<b>BrenixRCS pending check-ins</b>", FormPanel_BrenixRCS));

    // The window keeps the persisted values; this page's edits take them
    // over and are the ones the settings store finds from now on.
    auto edit = [&](const char* name, const QString& label, const QString& fallback) {
        auto* e = new QLineEdit(StoredValue(window, name, fallback), FormPanel_BrenixRCS);
        named(e, name, label);
        return e;
    };
    edBrenixRCSPath = edit("edBrenixRCSPath", "RCS path", "");
    edBrenixRCS_Extensions = edit("edBrenixRCS_Extensions", "Extensions:", "");
    edBrenixRCSFilter_include = edit("edBrenixRCSFilter_include", "Include Filter (;)", "");
    edBrenixRCSFilter_exclude = edit("edBrenixRCSFilter_exclude", "Exclude Filter (;)", "");
    edBrenixRCSProgram = edit("edBrenixRCSProgram", "Check-in program:", "");
    edBrenixRCSProgram->setPlaceholderText("program that gets the folder to check in");
    auto* grid = new QGridLayout;
    int line = 0;
    for (QLineEdit* e : {edBrenixRCSPath, edBrenixRCS_Extensions, edBrenixRCSFilter_include, edBrenixRCSFilter_exclude,
                         edBrenixRCSProgram}) {
        grid->addWidget(new QLabel(e->accessibleName(), FormPanel_BrenixRCS), line, 0);
        grid->addWidget(e, line++, 1);
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    bCheckRepository = new QPushButton("Check repository", FormPanel_BrenixRCS);
    named(bCheckRepository, "bCheckRepository", "Check repository");
    bProcessFolder = new QPushButton("Process Folder", FormPanel_BrenixRCS);
    named(bProcessFolder, "bProcessFolder", "Process Folder");
    bCopyToClipboard = new QPushButton("Copy to clipborad", FormPanel_BrenixRCS);
    named(bCopyToClipboard, "bCopyToClipboard", "Copy to clipborad");
    buttons->addWidget(bCheckRepository);
    buttons->addWidget(bProcessFolder);
    buttons->addWidget(bCopyToClipboard);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    pcBrenixRCS = new QTabWidget(FormPanel_BrenixRCS);
    named(pcBrenixRCS, "pcBrenixRCS", "Pending check-ins");
    tsResults = new QWidget(pcBrenixRCS);
    tsResults->setObjectName("tsResults");
    auto* resultsLayout = new QVBoxLayout(tsResults);
    lvBrenixRCS_results = new TListViewEx(tsResults);
    named(lvBrenixRCS_results, "lvBrenixRCS_results", "Pending check-ins");
    lvBrenixRCS_results->SetDesignedColumns(
        {"Source file:420:L:0", "Source Date:160:L:0", "Repository Date:160:L:0", "Not updated for:110:R:0"});
    lvBrenixRCS_results->OnGetText = [this](int row, int column) -> QString {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
        const TCheckInRow& r = rows_[static_cast<std::size_t>(row)];
        switch (column) {
            case 0:
                return Q(r.path);
            case 1:
                return Q(r.sourceDate);
            case 2:
                return Q(r.repositoryDate);
            case 3:
                return Q(r.notUpdatedFor);
            default:
                return {};
        }
    };
    resultsLayout->addWidget(lvBrenixRCS_results);
    memoBrenixRCS_results = new QPlainTextEdit(tsResults);
    named(memoBrenixRCS_results, "memoBrenixRCS_results", "Result lines");
    memoBrenixRCS_results->setReadOnly(true);
    memoBrenixRCS_results->hide();
    pcBrenixRCS->addTab(tsResults, "Results");

    tsStats = new QWidget(pcBrenixRCS);
    tsStats->setObjectName("tsStats");
    auto* statsLayout = new QHBoxLayout(tsStats);
    auto memo = [&](QPlainTextEdit*& target, const char* name, const QString& caption) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, tsStats));
        target = new QPlainTextEdit(tsStats);
        named(target, name, caption);
        target->setReadOnly(true);
        target->setLineWrapMode(QPlainTextEdit::NoWrap);
        column->addWidget(target, 1);
        statsLayout->addLayout(column, 1);
    };
    memo(memoMissingFiles, "memoMissingFiles", "Missing from repository");
    memo(memoSourceDirectories, "memoSourceDirectories", "Source directories");
    memo(memoSourceFiles, "memoSourceFiles", "Source files");
    pcBrenixRCS->addTab(tsStats, "Stats");
    pcBrenixRCS->setCurrentWidget(tsResults);
    layout->addWidget(pcBrenixRCS, 1);

    auto* pageLayout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!pageLayout) pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(FormPanel_BrenixRCS, 1);

    TimerBrenixRCSFilter = new QTimer(this);
    TimerBrenixRCSFilter->setObjectName("TimerBrenixRCSFilter");
    TimerBrenixRCSFilter->setSingleShot(true);
    TimerBrenixRCSFilter->setInterval(300);
    connect(TimerBrenixRCSFilter, &QTimer::timeout, this, &TFormBrenixRCS::TimerBrenixRCSFilterTimer);
    for (QLineEdit* e : {edBrenixRCSFilter_include, edBrenixRCSFilter_exclude})
        connect(e, &QLineEdit::textChanged, TimerBrenixRCSFilter, qOverload<>(&QTimer::start));

    popupBrenixRCS = new QMenu(lvBrenixRCS_results);
    popupBrenixRCS->setObjectName("popupBrenixRCS");
    auto item = [&](QAction*& action, const char* name, const QString& text, const QKeySequence& keys,
                    void (TFormBrenixRCS::*handler)()) {
        action = popupBrenixRCS->addAction(text);
        action->setObjectName(name);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        // The shortcuts work while the list has the focus, as in the menu.
        lvBrenixRCS_results->addAction(action);
        connect(action, &QAction::triggered, this, handler);
    };
    item(pi_BrenixRCS, "pi_BrenixRCS", "RCS folder", QKeySequence("Ctrl+R"), &TFormBrenixRCS::pi_BrenixRCSClick);
    item(pi_OpenFolder, "pi_OpenFolder", "Open folder", {}, &TFormBrenixRCS::pi_OpenFolderClick);
    item(pi_EditFile, "pi_EditFile", "Edit file", QKeySequence("Ctrl+E"), &TFormBrenixRCS::pi_EditFileClick);
    item(pi_TouchFile, "pi_TouchFile", "Touch file (append CR-LN)", QKeySequence("Ctrl+T"),
         &TFormBrenixRCS::pi_TouchFileClick);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), lvBrenixRCS_results);
        enter->setContext(Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &TFormBrenixRCS::pi_BrenixRCSClick);
    }
    connect(lvBrenixRCS_results, &TListViewEx::RowContextMenu, this,
            [this](const QPoint& at, int) { popupBrenixRCS->popup(at); });
    connect(lvBrenixRCS_results, &TListViewEx::DblClick, this, [this](int) { pi_BrenixRCSClick(); });
    connect(bCheckRepository, &QPushButton::clicked, this, &TFormBrenixRCS::bCheckRepositoryClick);
    connect(bProcessFolder, &QPushButton::clicked, this, &TFormBrenixRCS::pi_BrenixRCSClick);
    connect(bCopyToClipboard, &QPushButton::clicked, this, &TFormBrenixRCS::bCopyToClipboardClick);
}

// ---- the check ----

void TFormBrenixRCS::bCheckRepositoryClick() {
    if (host_.OperationInProgress() || Running()) {
        Notify("Another operation is in progress");
        emit CheckFinished();
        return;
    }
    const std::string repository = WithSlash(Trim(S(edBrenixRCSPath->text())));
    if (repository.empty()) {
        // An empty path would walk the whole file system from its root.
        ShowInfo("Enter the RCS path first");
        emit CheckFinished();
        return;
    }
    edBrenixRCSPath->setText(Q(repository));

    QWidget* window = host_.HostWindow();
    auto* wait = new TFormPleaseWait(model_, window);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->ShowTreemapControls(false);
    host_.PleaseWaitSlot(3) = wait;
    wait->show();
    wait->move(window->geometry().center() - wait->rect().center());
    model_.CancelOperation = false;
    model_.PauseOperation = false;
    bCheckRepository->setEnabled(false);
    model_.ProgressText.SetText("Please Wait");
    job_ = std::make_unique<TThreadCheckIns>(model_, &model_.ProgressText);
    job_->Init(repository, S(edBrenixRCS_Extensions->text()));
    job_->Start();
    poll_->start();
}

void TFormBrenixRCS::Poll() {
    QPointer<TFormPleaseWait> wait = host_.PleaseWaitSlot(3);
    if (wait) wait->Step();
    host_.SetStatus(wait, model_.ProgressText.GetText());
    if (job_ && job_->threadRunning.load() && !model_.AppClosing.load()) return;
    EndCheck();
}

void TFormBrenixRCS::EndCheck() {
    poll_->stop();
    if (!job_) return;
    job_->WaitFor();
    CloseToolPleaseWait(host_.PleaseWaitSlot(3));
    bCheckRepository->setEnabled(true);
    if (job_->Failed() && !model_.AppClosing.load()) host_.AddErrorLine(job_->ErrorText());
    const TCheckInsRun& run = job_->run;
    memoSourceDirectories->setPlainText(Lines(run.sourceDirectories));
    memoSourceFiles->setPlainText(Lines(run.sourceFiles));
    memoMissingFiles->setPlainText(Lines(run.missingFiles));
    resultLines_ = run.resultLines;
    memoBrenixRCS_results->setPlainText(Lines(resultLines_));
    const bool cancelled = run.cancelled;
    job_.reset();
    TimerBrenixRCSFilterTimer();
    host_.SetStatus(nullptr, cancelled ? "Cancelled" : "Pending check-ins: " + std::to_string(rows_.size()));
    emit CheckFinished();
}

void TFormBrenixRCS::TimerBrenixRCSFilterTimer() {
    TimerBrenixRCSFilter->stop();
    rows_ = FilterCheckIns(resultLines_, S(edBrenixRCSFilter_include->text()), S(edBrenixRCSFilter_exclude->text()));
    lvBrenixRCS_results->Clear();
    lvBrenixRCS_results->SetItemsCount(static_cast<int>(rows_.size()));
    lvBrenixRCS_results->Invalidate();
}

// ---- commands ----

int TFormBrenixRCS::CurrentRow() const {
    const int focused = lvBrenixRCS_results->FocusedRow();
    if (focused >= 0 && lvBrenixRCS_results->IsRowSelected(focused)) return focused;
    const int row = lvBrenixRCS_results->SelectedRow();
    return row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

void TFormBrenixRCS::bCopyToClipboardClick() {
    QStringList paths;
    for (const int row : lvBrenixRCS_results->SelectedRows())
        if (row < static_cast<int>(rows_.size())) paths << Q(rows_[static_cast<std::size_t>(row)].path);
    QApplication::clipboard()->setText(paths.join('\n'));
}

void TFormBrenixRCS::pi_BrenixRCSClick() {
    const int row = CurrentRow();
    if (row < 0) return;
    const std::string folder = ExtractFilePath(rows_[static_cast<std::size_t>(row)].path);
    const std::string program = Trim(S(edBrenixRCSProgram->text()));
    if (program.empty()) {
        ShowInfo("No check-in program is set (Check-in program:)");
        return;
    }
    const std::string path = ProgramPath(program);
    if (!platform::FileExists(path)) {
        ShowError("Could not find the check-in program: " + program);
        return;
    }
    if (!ShellOpen(path, Quoted(folder))) ShowError("Could not start the check-in program: " + program);
}

void TFormBrenixRCS::pi_OpenFolderClick() {
    const int row = CurrentRow();
    if (row >= 0) ShellLocate(rows_[static_cast<std::size_t>(row)].path);
}

void TFormBrenixRCS::pi_EditFileClick() {
    const int row = CurrentRow();
    if (row < 0) return;
    const std::string file = rows_[static_cast<std::size_t>(row)].path;
    // The editor of the settings; without one the desktop's handler opens the file.
    const std::string editor = Trim(S(StoredValue(host_.HostWindow(), "edEditorFilename", "")));
    if (editor.empty()) {
        if (!ShellOpen(file)) ShowError("Could not open " + file);
        return;
    }
    const std::string path = ProgramPath(editor);
    if (!platform::FileExists(path) || !ShellOpen(path, Quoted(file)))
        ShowError("Could not start the editor: " + editor);
}

void TFormBrenixRCS::pi_TouchFileClick() {
    const int row = CurrentRow();
    if (row < 0) return;
    const std::string file = rows_[static_cast<std::size_t>(row)].path;
    if (GetMessages().Ask(AskButtons::OkCancel, "Append CR/LF to " + file + "?", "Confirm") != MessageAnswer::Ok)
        return;
    if (HasUtf16LeBom(file)) {
        ShowInfo("File is in unicode format. Please convert to ANSI");
        return;
    }
    if (IsBinaryFile(file)) {
        ShowInfo("File is binary.");
        return;
    }
    // Only to an existing file: appending must never create one.
    platform::File out;
    if (!platform::FileExists(file) || !out.Open(file, platform::File::Mode::Append) || !out.Write("\r\n") ||
        !out.Close())
        host_.AddErrorLine("Could not append to " + file);
}

}  // namespace tandrel
