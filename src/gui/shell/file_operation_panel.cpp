#include "gui/shell/file_operation_panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "common/command_line.h"
#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "gui/shell/file_operation_thread.h"
#include "gui/shell/shell_services.h"
#include "gui/widgets/please_wait.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/text_collate.h"
#include "platform/trash.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

const char kCopyOrMoveText[] =
    "<br>The following files will be <b>copied or moved</b> to the destination folder. \r\n<br>The original "
    "structure will not be retained. Please select the destination folder. ";
const std::string kCrLf = "\r\n";

TFileOperationPanel::ConflictAsker& ConflictHook() {
    static TFileOperationPanel::ConflictAsker hook;
    return hook;
}

std::string WithoutTrailingDelimiter(std::string path) {
    while (path.size() > 1 && path.back() == platform::PathDelim) path.pop_back();
    return path;
}

std::string FolderPart(const std::string& path) {
    std::size_t slash = path.find_last_of(platform::PathDelim);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    std::size_t slash = path.find_last_of(platform::PathDelim);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsRealFolder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

QListWidget* MakeList(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    return list;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

// The answer a worker waits for, shared so that neither side outlives it.
struct PendingAnswer {
    std::mutex lock;
    std::condition_variable ready;
    bool answered = false;
    platform::ConflictAnswer answer = platform::ConflictAnswer::Cancel;
};

}  // namespace

void TFileOperationPanel::SetConflictAnswerHook(ConflictAsker hook) { ConflictHook() = std::move(hook); }

TFileOperationPanel::TFileOperationPanel(TViewHost& host, QWidget* parent)
    : TCaptionPanelK("Copy files", parent), host_(host) {
    qRegisterMetaType<std::vector<std::string>>();
    setObjectName("cpanelFileOperation");
    setAccessibleName("File operations");
    pcFileOperation = new QStackedWidget(this);
    pcFileOperation->setObjectName("pcFileOperation");
    Body()->addWidget(pcFileOperation, 1);
    CreateCopyMovePage();
    CreateDeletePage();
    CreateRenamePage();
    OnCaptionButton = [this] { HidePanel(); };
    setMinimumHeight(300);
    resize(560, 340);
    hide();
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TFileOperationPanel::Poll);
}

TFileOperationPanel::~TFileOperationPanel() {
    if (job_) {
        host_.Model().CancelOperation = true;
        job_.reset();  // waits for the worker
    }
}

void TFileOperationPanel::CreateCopyMovePage() {
    tsCopyMove = new QWidget(pcFileOperation);
    tsCopyMove->setObjectName("tsCopyMove");
    pcFileOperation->addWidget(tsCopyMove);
    auto* layout = new QVBoxLayout(tsCopyMove);
    HTLabelCopyOrMove = new QLabel(kCopyOrMoveText, tsCopyMove);
    HTLabelCopyOrMove->setObjectName("HTLabelCopyOrMove");
    HTLabelCopyOrMove->setTextFormat(Qt::RichText);
    HTLabelCopyOrMove->setWordWrap(true);
    layout->addWidget(HTLabelCopyOrMove);
    lbCopyMoveFiles = MakeList(tsCopyMove, "lbCopyMoveFiles", "Files");
    layout->addWidget(lbCopyMoveFiles, 1);
    Label70 = new QLabel("Destination folder:", tsCopyMove);
    Label70->setObjectName("Label70");
    layout->addWidget(Label70);
    auto* row = new QHBoxLayout;
    edDestinationDirectory = new QLineEdit(tsCopyMove);
    edDestinationDirectory->setObjectName("edDestinationDirectory");
    edDestinationDirectory->setAccessibleName("Destination folder");
    edDestinationDirectory->installEventFilter(this);
    Label70->setBuddy(edDestinationDirectory);
    row->addWidget(edDestinationDirectory, 1);
    bBrowseDestination = new QToolButton(tsCopyMove);
    bBrowseDestination->setObjectName("bBrowseDestination");
    bBrowseDestination->setText("...");
    bBrowseDestination->setAccessibleName("Browse for the destination folder");
    connect(bBrowseDestination, &QToolButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, "Destination folder", edDestinationDirectory->text());
        if (!folder.isEmpty()) edDestinationDirectory->setText(folder);
    });
    row->addWidget(bBrowseDestination);
    bCopyFiles = MakeButton(tsCopyMove, "bCopyFiles", "Copy Files");
    bMoveFiles = MakeButton(tsCopyMove, "bMoveFiles", "Move Files");
    bCloseCopyMoveFiles = MakeButton(tsCopyMove, "bCloseCopyMoveFiles", "Close");
    row->addWidget(bCopyFiles);
    row->addWidget(bMoveFiles);
    row->addWidget(bCloseCopyMoveFiles);
    layout->addLayout(row);
    lbHistory = MakeList(tsCopyMove, "lbHistory", "Destination history");
    layout->addWidget(lbHistory, 1);
    connect(bCopyFiles, &QPushButton::clicked, this, &TFileOperationPanel::ActionCopyFilesExecute);
    connect(bMoveFiles, &QPushButton::clicked, this, &TFileOperationPanel::ActionMoveFilesExecute);
    connect(bCloseCopyMoveFiles, &QPushButton::clicked, this, &TFileOperationPanel::HidePanel);
    connect(lbHistory, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { edDestinationDirectory->setText(item->text()); });
    // Folders dropped from a file manager land in the edit.
    edDestinationDirectory->setAcceptDrops(true);
}

void TFileOperationPanel::CreateDeletePage() {
    tsDelete = new QWidget(pcFileOperation);
    tsDelete->setObjectName("tsDelete");
    pcFileOperation->addWidget(tsDelete);
    auto* layout = new QVBoxLayout(tsDelete);
    LabelDelete = new QLabel("The following files will be <b><font color=#0000ff>deleted</b>", tsDelete);
    LabelDelete->setObjectName("LabelDelete");
    LabelDelete->setTextFormat(Qt::RichText);
    layout->addWidget(LabelDelete);
    lbDeleteFiles = MakeList(tsDelete, "lbDeleteFiles", "Files to delete");
    layout->addWidget(lbDeleteFiles, 1);
    auto* row = new QHBoxLayout;
    bExport1 = MakeButton(tsDelete, "bExport1", "Export");
    row->addWidget(bExport1);
    row->addStretch(1);
    bDeleteSelected = MakeButton(tsDelete, "bDeleteSelected", "Delete Files");
    bCloseDeleteFiles = MakeButton(tsDelete, "bCloseDeleteFiles", "Close");
    row->addWidget(bDeleteSelected);
    row->addWidget(bCloseDeleteFiles);
    layout->addLayout(row);
    connect(bDeleteSelected, &QPushButton::clicked, this, &TFileOperationPanel::bDeleteSelectedClick);
    connect(bCloseDeleteFiles, &QPushButton::clicked, this, &TFileOperationPanel::HidePanel);
    connect(bExport1, &QPushButton::clicked, this, &TFileOperationPanel::bExport1Click);
}

void TFileOperationPanel::CreateRenamePage() {
    tsRename = new QWidget(pcFileOperation);
    tsRename->setObjectName("tsRename");
    pcFileOperation->addWidget(tsRename);
    auto* grid = new QGridLayout(tsRename);
    auto* folderLabel = new QLabel("Folder:", tsRename);
    edRename_Path = new QLineEdit(tsRename);
    edRename_Path->setObjectName("edRename_Path");
    edRename_Path->setReadOnly(true);
    edRename_Path->setAccessibleName("Folder");
    folderLabel->setBuddy(edRename_Path);
    LabelRename1 = new QLabel("File name:", tsRename);
    LabelRename1->setObjectName("LabelRename1");
    edRenameOldFilename = new QLineEdit(tsRename);
    edRenameOldFilename->setObjectName("edRenameOldFilename");
    edRenameOldFilename->setReadOnly(true);
    edRenameOldFilename->setAccessibleName("Old name");
    LabelRename1->setBuddy(edRenameOldFilename);
    LabelRename2 = new QLabel("New file name:", tsRename);
    LabelRename2->setObjectName("LabelRename2");
    edRenameNewFilename = new QLineEdit(tsRename);
    edRenameNewFilename->setObjectName("edRenameNewFilename");
    edRenameNewFilename->setAccessibleName("New name");
    edRenameNewFilename->installEventFilter(this);
    LabelRename2->setBuddy(edRenameNewFilename);
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(edRename_Path, 0, 1);
    grid->addWidget(LabelRename1, 1, 0);
    grid->addWidget(edRenameOldFilename, 1, 1);
    grid->addWidget(LabelRename2, 2, 0);
    grid->addWidget(edRenameNewFilename, 2, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    bDoRenameFile = MakeButton(tsRename, "bDoRenameFile", "Rename");
    bCloseRename = MakeButton(tsRename, "bCloseRename", "Cancel");
    row->addWidget(bDoRenameFile);
    row->addWidget(bCloseRename);
    grid->addLayout(row, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    connect(bDoRenameFile, &QPushButton::clicked, this, &TFileOperationPanel::bDoRenameFileClick);
    connect(bCloseRename, &QPushButton::clicked, this, &TFileOperationPanel::HidePanel);
}

void TFileOperationPanel::CreateDateTools(QWidget* page) {
    auto* grid = new QGridLayout(page);
    auto* label1 = new QLabel("File:", page);
    edChangeDateFile1 = new QLineEdit(page);
    edChangeDateFile1->setObjectName("edChangeDateFile1");
    edChangeDateFile1->setAccessibleName("File to change");
    label1->setBuddy(edChangeDateFile1);
    auto* label2 = new QLabel("Date from file:", page);
    edChangeDateFile2 = new QLineEdit(page);
    edChangeDateFile2->setObjectName("edChangeDateFile2");
    edChangeDateFile2->setAccessibleName("File with the date");
    label2->setBuddy(edChangeDateFile2);
    bChangeMDate = MakeButton(page, "bChangeMDate", "Change MDate");
    auto* label3 = new QLabel("Files:", page);
    edFilesList = new QPlainTextEdit(page);
    edFilesList->setObjectName("edFilesList");
    edFilesList->setAccessibleName("Files to change");
    label3->setBuddy(edFilesList);
    bChangeMDateList = MakeButton(page, "bChangeMDateList", "Change MDate");
    bChangeMDateList->setAccessibleName("Change MDate of the listed files");
    grid->addWidget(label1, 0, 0);
    grid->addWidget(edChangeDateFile1, 0, 1);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(edChangeDateFile2, 1, 1);
    grid->addWidget(bChangeMDate, 1, 2);
    grid->addWidget(label3, 2, 0, Qt::AlignTop);
    grid->addWidget(edFilesList, 2, 1);
    grid->addWidget(bChangeMDateList, 2, 2, Qt::AlignTop);
    connect(bChangeMDate, &QPushButton::clicked, this, &TFileOperationPanel::bChangeMDateClick);
    connect(bChangeMDateList, &QPushButton::clicked, this, &TFileOperationPanel::bChangeMDateListClick);
}

// ---- opening ----

void TFileOperationPanel::ShowInFront() {
    if (height() < 300) resize(width(), 300);
    ShowCentred();
}

void TFileOperationPanel::HidePanel() { hide(); }

void TFileOperationPanel::OpenFor(TFileAction action, const std::string& selectedFilesText) {
    action_ = action;
    TStringList lines = TextToLines(selectedFilesText);
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const std::string& line) { return line.empty(); }),
                lines.end());
    ShowInFront();
    if (action == TFileAction::Delete) {
        setWindowTitle("Delete files");
        SetCaption("Delete files");
        deleteItems_ = lines;
        lbDeleteFiles->clear();
        for (const std::string& line : lines) lbDeleteFiles->addItem(Q(line));
        pcFileOperation->setCurrentWidget(tsDelete);
        bDeleteSelected->setFocus();
        return;
    }
    const bool copy = action == TFileAction::Copy;
    SetCaption(copy ? "Copy files" : "Move files");
    QString text = HTLabelCopyOrMove->text();
    text.replace("copied or moved", "$s").replace("copied", "$s").replace("moved", "$s");
    text.replace("$s", copy ? "copied" : "moved");
    HTLabelCopyOrMove->setText(text);
    copyMoveItems_ = lines;
    lbCopyMoveFiles->clear();
    for (const std::string& line : lines) lbCopyMoveFiles->addItem(Q(line));
    pcFileOperation->setCurrentWidget(tsCopyMove);
    bCopyFiles->setVisible(copy);
    bMoveFiles->setVisible(!copy);
    Label70->setText(copy && lines.size() == 1 ? "Destination folder or file (leave empty to duplicate selected file)"
                                               : "Destination folder:");
    edDestinationDirectory->setFocus();
}

void TFileOperationPanel::RenameFileDialog(const std::string& path) {
    const std::string item = WithoutTrailingDelimiter(path);
    renameFolder_ = FolderPart(item);
    renameOldName_ = NamePart(item);
    edRename_Path->setText(Q(renameFolder_));
    edRenameOldFilename->setText(Q(renameOldName_));
    edRenameNewFilename->setText(Q(renameOldName_));
    const bool folder = platform::DirectoryExists(item);
    LabelRename1->setText(folder ? "Directory name:" : "File name:");
    LabelRename2->setText(folder ? "New directory name:" : "New file name:");
    SetCaption("Rename file");
    pcFileOperation->setCurrentWidget(tsRename);
    ShowInFront();
    edRenameNewFilename->selectAll();
    edRenameNewFilename->setFocus();
}

bool TFileOperationPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edDestinationDirectory) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
                case Qt::Key_Escape:
                    HidePanel();
                    return true;
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    if (bCopyFiles->isVisible())
                        ActionCopyFilesExecute();
                    else if (bMoveFiles->isVisible())
                        ActionMoveFilesExecute();
                    return true;
                case Qt::Key_Down:
                    SelectHistory(lbHistory->currentRow() + 1);
                    return true;
                case Qt::Key_Up:
                    SelectHistory(lbHistory->currentRow() - 1);
                    return true;
                default:
                    break;
            }
        } else if (event->type() == QEvent::DragEnter) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QList<QUrl> urls = drop->mimeData()->urls();
            if (!urls.isEmpty() && urls.front().isLocalFile()) {
                edDestinationDirectory->setText(urls.front().toLocalFile());
                drop->acceptProposedAction();
                return true;
            }
        }
    } else if (watched == edRenameNewFilename && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            bDoRenameFileClick();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            HidePanel();
            return true;
        }
    }
    return TCaptionPanelK::eventFilter(watched, event);
}

void TFileOperationPanel::SelectHistory(int row) {
    if (lbHistory->count() == 0) return;
    row = std::clamp(row, 0, lbHistory->count() - 1);
    lbHistory->setCurrentRow(row);
    edDestinationDirectory->setText(lbHistory->item(row)->text());
}

void TFileOperationPanel::AddToHistory(const std::string& destination) {
    const QString text = Q(destination);
    for (int i = 0; i < lbHistory->count(); ++i)
        if (lbHistory->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) return;
    lbHistory->insertItem(0, text);
}

// ---- copy and move ----

void TFileOperationPanel::ActionCopyFilesExecute() {
    const std::vector<std::string> items = copyMoveItems_;
    std::string destination = S(edDestinationDirectory->text());
    if (items.size() == 1 && destination.empty()) destination = items.front();
    if (items.size() == 1 && !platform::DirectoryExists(destination) && destination.find('.') != std::string::npos) {
        CopyOne(items.front(), destination);
    } else if (!destination.empty()) {
        CopyOrMoveMany("copy", items, destination);
        AddToHistory(destination);
    }
    HidePanel();
}

void TFileOperationPanel::ActionMoveFilesExecute() {
    const std::string destination = S(edDestinationDirectory->text().trimmed());
    if (destination.empty()) return;
    CopyOrMoveMany("move", copyMoveItems_, destination);
    AddToHistory(destination);
    HidePanel();
}

void TFileOperationPanel::CopyOrMoveMany(const std::string& action, const std::vector<std::string>& items,
                                         std::string destination) {
    if (Trim(destination).empty()) return;
    if (action != "copy" && action != "move") throw TandrelError("Unknown action: " + action);
    destination = AddTrailingBackslash(destination);
    if (!platform::DirectoryExists(destination)) {
        if (ConfirmCancelled("Directory " + destination + " does not exist. Create?")) return;
        CreateFolders({destination});
    }
    if (!platform::DirectoryExists(destination)) {
        host_.AddErrorLine("Directory " + destination + " not found");
        return;
    }
    if (ConfirmCancelled("Are you sure you want to " + action + " the selected files to " + kCrLf + kCrLf +
                         destination + " ?"))
        return;
    std::vector<std::string> sources;
    for (const std::string& item : items) sources.push_back(WithoutTrailingDelimiter(item));
    StartJob(action == "move" ? platform::TreeOperation::Move : platform::TreeOperation::Copy, sources, destination);
}

void TFileOperationPanel::StartJob(platform::TreeOperation operation, std::vector<std::string> items,
                                   const std::string& destination) {
    if (job_ || host_.OperationInProgress()) {
        host_.SetStatusError("Another operation is in progress");
        return;
    }
    ScanModel& model = host_.Model();
    auto* wait = new TFormPleaseWait(model, host_.HostWindow());
    wait->setAttribute(Qt::WA_DeleteOnClose);
    wait->setWindowTitle(operation == platform::TreeOperation::Move ? "Moving files" : "Copying files");
    wait_ = wait;
    host_.PleaseWaitSlot(3) = wait;
    wait->show();
    job_ = std::make_unique<TThreadFileOperation>(model);
    job_->Init(operation, std::move(items), destination);
    QPointer<TFileOperationPanel> self(this);
    job_->OnConflict = [self, &model](const std::string& source, const std::string& target) {
        // Asked on the window's thread; the worker waits, but never past a cancel.
        auto pending = std::make_shared<PendingAnswer>();
        QMetaObject::invokeMethod(
            self.data() ? static_cast<QObject*>(self.data()) : qApp,
            [self, pending, source, target] {
                platform::ConflictAnswer answer =
                    self ? self->AskConflict(source, target) : platform::ConflictAnswer::Cancel;
                std::lock_guard<std::mutex> lock(pending->lock);
                pending->answer = answer;
                pending->answered = true;
                pending->ready.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(pending->lock);
        while (!pending->answered) {
            if (model.StopRequested()) return platform::ConflictAnswer::Cancel;
            pending->ready.wait_for(lock, std::chrono::milliseconds(100));
        }
        return pending->answer;
    };
    job_->Start();
    poll_->start();
}

platform::ConflictAnswer TFileOperationPanel::AskConflict(const std::string& source, const std::string& target) {
    if (ConflictHook()) return ConflictHook()(source, target);
    QMessageBox box(QMessageBox::Question, "Tandrel",
                    Q("The destination already holds " + target + "." + kCrLf + kCrLf + "Replace it with " + source +
                      ", skip this item, or keep both?"),
                    QMessageBox::NoButton, host_.HostWindow());
    QAbstractButton* replace = box.addButton("Replace", QMessageBox::DestructiveRole);
    QAbstractButton* skip = box.addButton("Skip", QMessageBox::RejectRole);
    QAbstractButton* both = box.addButton("Keep both", QMessageBox::AcceptRole);
    QAbstractButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton*>(both));
    box.exec();
    if (box.clickedButton() == replace) return platform::ConflictAnswer::Replace;
    if (box.clickedButton() == skip) return platform::ConflictAnswer::Skip;
    if (box.clickedButton() == both) return platform::ConflictAnswer::KeepBoth;
    (void)cancel;
    return platform::ConflictAnswer::Cancel;
}

bool TFileOperationPanel::Running() const { return job_ != nullptr; }

void TFileOperationPanel::Poll() {
    if (!job_) return;
    for (const std::string& line : job_->TakeLines()) host_.AddErrorLine(line);
    if (wait_) {
        wait_->Step();
        host_.SetStatus(wait_, job_->Progress().GetText());
        host_.SetStatus2(wait_, FormatBytes(job_->bytesDone.load()) + " copied");
    }
    if (job_->threadRunning.load()) return;
    FinishJob();
}

void TFileOperationPanel::FinishJob() {
    poll_->stop();
    job_->WaitFor();
    for (const std::string& line : job_->TakeLines()) host_.AddErrorLine(line);
    if (job_->Failed()) host_.AddErrorLine(job_->ErrorText());
    // What left its place and what arrived, for the views to follow.
    std::vector<TDiskChange> changes;
    const platform::TreeCopyReport& report = job_->report;
    const bool move = job_->Operation() == platform::TreeOperation::Move;
    for (std::size_t i = 0; i < report.outcomes.size() && i < job_->Items().size(); ++i) {
        if (report.outcomes[i] != platform::ItemOutcome::Done) continue;
        if (move) changes.push_back({TFileOperation::foRemoved, WithoutTrailingDelimiter(job_->Items()[i]), {}});
        if (i < report.targets.size()) changes.push_back({TFileOperation::foAdded, report.targets[i], {}});
    }
    if (wait_) wait_->close();
    host_.PleaseWaitSlot(3) = nullptr;
    job_.reset();
    host_.SetStatus(nullptr, "");
    if (!changes.empty()) emit FilesChanged(changes);
}

void TFileOperationPanel::CopyOne(const std::string& source, std::string target) {
    const std::string folder = ExtractFilePath(target);
    if (!platform::DirectoryExists(folder)) {
        if (ConfirmCancelled("Directory " + folder + " does not exist. Create?")) return;
        CreateFolders({folder});
        if (!platform::DirectoryExists(folder)) {
            host_.AddErrorLine("Directory " + folder + " not found");
            return;
        }
    }
    if (platform::LowerCase(AddTrailingBackslash(target)) == platform::LowerCase(AddTrailingBackslash(folder)))
        target = AddTrailingBackslash(folder) + ExtractFileName(WithoutTrailingDelimiter(source));
    // Copying a file onto itself yields a time-stamped duplicate beside it.
    if (platform::PathExists(target)) target = AddTimestampToFileName(target);
    if (ConfirmCancelled("Are you sure you want to copy :\r\n" + source + kCrLf + "to" + kCrLf + target + "?")) return;
    // The target is a new name: an existing file is never overwritten here.
    if (!platform::CopyFile(source, target, true) || !platform::PathExists(target)) {
        host_.AddErrorLine("Could not copy file to : " + target);
        return;
    }
    emit FilesChanged({{TFileOperation::foAdded, target, {}}});
}

// ---- delete ----

bool TFileOperationPanel::DeleteFolder(const std::string& path) {
    if (!IsRealFolder(path)) {
        host_.AddErrorLine("Directory " + path + " not found");
        return false;
    }
    platform::MoveToTrash(path);
    if (platform::PathExists(path)) {
        host_.AddErrorLine("Could not delete folder: " + path);
        return false;
    }
    return true;
}

void TFileOperationPanel::bDeleteSelectedClick() {
    if (ConfirmCancelled("Are you sure you want to Delete the selected files?")) return;
    std::vector<TDiskChange> deleted;
    for (const std::string& path : deleteItems_) {
        bool ok;
        // A link, also one to a folder, is removed as the link.
        if (IsRealFolder(path))
            ok = DeleteFolder(path);
        else if (platform::PathExists(path))
            ok = platform::DeleteFile(path);
        else
            continue;
        if (!ok || platform::PathExists(path))
            host_.AddErrorLine("Could not delete file: " + path);
        else
            deleted.push_back({TFileOperation::foRemoved, path, {}});
        if (GetMessages().IsCtrlHeld()) break;
    }
    HidePanel();
    if (!deleted.empty()) emit FilesChanged(deleted);
}

void TFileOperationPanel::bExport1Click() {
    const std::string file = DataFile("export.txt");
    if (!SaveTextFile(deleteItems_, file)) {
        host_.AddErrorLine("Could not write " + file);
        return;
    }
    ShellOpen(file);
}

// ---- rename ----

void TFileOperationPanel::bDoRenameFileClick() {
    const std::string newName = S(edRenameNewFilename->text());
    const std::string oldPath = renameFolder_ + renameOldName_;
    const std::string newPath = renameFolder_ + newName;
    if (oldPath == newPath) return;
    if (newName.empty() || newName == "." || newName == ".." ||
        newName.find(platform::PathDelim) != std::string::npos || newName.find('\0') != std::string::npos) {
        ShowError("A name may not be empty, \".\" or \"..\", nor hold \"/\": " + newName);
        return;
    }
    const std::string kind = platform::DirectoryExists(oldPath) ? "directory" : "file";
    if (ConfirmCancelled("Are you sure you want to rename " + kind + kCrLf + renameOldName_ + kCrLf + "to" + kCrLf +
                         newName + "?"))
        return;
    if (!platform::PathExists(oldPath)) {
        host_.AddErrorLine("File or directory does not exist: " + oldPath);
        return;
    }
    bool ok = platform::MoveFile(oldPath, newPath);
    if (!ok && platform::LastError() == EEXIST) {
        // A file system that ignores case sees the new name as taken by the
        // item itself: go through a free name.
        struct stat a, b;
        if (lstat(oldPath.c_str(), &a) == 0 && lstat(newPath.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
            a.st_ino == b.st_ino) {
            const std::string between = AddTimestampToFileName(oldPath);
            ok = platform::MoveFile(oldPath, between) && platform::MoveFile(between, newPath);
        }
    }
    if (!ok) {
        host_.AddErrorLine("Could not rename " + kind + ". " + platform::LastErrorText());
        return;
    }
    if (!platform::PathExists(newPath)) {
        host_.AddErrorLine("File or directory does not exist: " + oldPath);
        return;
    }
    HidePanel();
    emit FilesChanged({{TFileOperation::foRenamed, oldPath, newPath}});
}

// ---- date tools ----

void TFileOperationPanel::bChangeMDateClick() {
    const std::string file1 = S(edChangeDateFile1->text()), file2 = S(edChangeDateFile2->text());
    if (ConfirmCancelled("Are you sure you want to change the date of file " + file1 + kCrLf + " from file " + file2))
        return;
    if (!CopyFileTime(file2, file1)) host_.AddErrorLine("Could not change the date of file " + file1);
}

void TFileOperationPanel::bChangeMDateListClick() {
    const std::string file2 = S(edChangeDateFile2->text());
    if (ConfirmCancelled("Are you sure you want to change the date of these files \r\n from file " + file2)) return;
    for (const std::string& file : TextToLines(S(edFilesList->toPlainText())))
        if (!file.empty() && platform::FileExists(file) && !CopyFileTime(file2, file))
            host_.AddErrorLine("Could not change the date of file " + file);
}

// ---- routines for other views ----

bool DeleteOneFile(TViewHost& host, const std::string& path) {
    if (DeleteFileEx(path, true)) return true;
    host.AddErrorLine("Could not delete file: " + path);
    return false;
}

namespace {
bool AllExist(const TStringList& folders) {
    return std::all_of(folders.begin(), folders.end(),
                       [](const std::string& folder) { return folder.empty() || platform::DirectoryExists(folder); });
}
}  // namespace

bool CreateFolders(const TStringList& folders) {
    for (const std::string& folder : folders)
        if (!folder.empty()) platform::ForceFolders(folder);
    if (AllExist(folders)) return true;
    const std::string listFile = AddTimestampToFileName(DataFile("CreateFolders.ini"));
    if (!SaveTextFile(folders, listFile)) return false;
    // An administrator already failed to make them: another run as one cannot
    // do better, so only others ask for elevation.
    const bool administrator = platform::IsAdministrator() || HasSwitch("is_admin");
    const bool started =
        !administrator && platform::StartElevated({platform::ExecutablePath(), "/CreateFolders=\"" + listFile + "\""},
                                                  {}, true, false) == platform::ElevatedStart::Started;
    if (platform::PathExists(listFile)) {
        if (started) ShowInfo("error creating folders");
        platform::DeleteFile(listFile);
        return false;
    }
    return started && AllExist(folders);
}

int RunCreateFoldersMode(std::string listFile) {
    listFile = Unquote(listFile);
    TStringList folders;
    if (!LoadTextFile(folders, listFile)) return 1;
    for (const std::string& folder : folders)
        if (!folder.empty()) platform::ForceFolders(folder);
    if (!AllExist(folders)) return 1;
    platform::DeleteFile(listFile);
    return 0;
}

}  // namespace tandrel
