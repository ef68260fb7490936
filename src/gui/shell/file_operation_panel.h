#pragma once
// The floating file-operation panel of the main window: copy or move the
// selected items into a folder (with the destination history), delete them
// (files for good, folders to the trash), rename one item, plus the routines
// other views use (delete one file, create folders with the elevated
// fallback) and the two modification-date tools of the debug pages.
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/types.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/caption_panel.h"
#include "platform/tree_copy.h"
#include "scan/tree_edits.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace tandrel {

class TFormPleaseWait;
class TThreadFileOperation;

// The panel's components; tests reach them through WidgetsForTest().
struct TFileOperationPanelUi {
    QStackedWidget* pcFileOperation = nullptr;  // hidden tabs
    QWidget *tsCopyMove = nullptr, *tsDelete = nullptr, *tsRename = nullptr;
    QLabel* HTLabelCopyOrMove = nullptr;
    QListWidget* lbCopyMoveFiles = nullptr;
    QLabel* Label70 = nullptr;
    QLineEdit* edDestinationDirectory = nullptr;
    QToolButton* bBrowseDestination = nullptr;
    QPushButton *bCopyFiles = nullptr, *bMoveFiles = nullptr, *bCloseCopyMoveFiles = nullptr;
    QListWidget* lbHistory = nullptr;
    QLabel* LabelDelete = nullptr;
    QListWidget* lbDeleteFiles = nullptr;
    QPushButton *bDeleteSelected = nullptr, *bCloseDeleteFiles = nullptr, *bExport1 = nullptr;
    QLineEdit *edRename_Path = nullptr, *edRenameOldFilename = nullptr, *edRenameNewFilename = nullptr;
    QLabel *LabelRename1 = nullptr, *LabelRename2 = nullptr;
    QPushButton *bDoRenameFile = nullptr, *bCloseRename = nullptr;
    // The date tools page.
    QLineEdit *edChangeDateFile1 = nullptr, *edChangeDateFile2 = nullptr;
    QPushButton *bChangeMDate = nullptr, *bChangeMDateList = nullptr;
    QPlainTextEdit* edFilesList = nullptr;
};

class TFileOperationPanel : public TCaptionPanelK, private TFileOperationPanelUi {
    Q_OBJECT
public:
    // parent: the main window, over which the panel floats.
    TFileOperationPanel(TViewHost& host, QWidget* parent);
    ~TFileOperationPanel() override;

    // Opens the panel for a copy, move or delete of the selected-files text
    // (full paths, one per line).
    void OpenFor(TFileAction action, const std::string& selectedFilesText);
    // Opens the rename page for one path.
    void RenameFileDialog(const std::string& path);
    // Fills the date tools into their page of the main window.
    void CreateDateTools(QWidget* page);

    void ActionCopyFilesExecute();
    void ActionMoveFilesExecute();
    void bDeleteSelectedClick();
    void bExport1Click();
    void bDoRenameFileClick();
    void bChangeMDateClick();
    void bChangeMDateListClick();
    void HidePanel();

    // Confirmed copy or move of many items into one folder; action "copy" or "move".
    void CopyOrMoveMany(const std::string& action, const std::vector<std::string>& items, std::string destination);
    // Confirmed copy of one file to a new name or into a folder.
    void CopyOne(const std::string& source, std::string target);
    // One folder to the trash.
    bool DeleteFolder(const std::string& path);
    // A destination is kept once, newest first.
    void AddToHistory(const std::string& destination);

    // True while a copy or move runs.
    bool Running() const;
    TFileOperationPanelUi& WidgetsForTest() { return *this; }

    // How a name taken in the destination is answered: a question box unless
    // a test sets an answer hook (an empty hook restores the box).
    using ConflictAsker = std::function<platform::ConflictAnswer(const std::string& source, const std::string& target)>;
    static void SetConflictAnswerHook(ConflictAsker hook);

signals:
    // After an operation: what left its place (moved, deleted), what
    // arrived (copies, moved items at their new place) and renames.
    void FilesChanged(std::vector<TDiskChange> changes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateCopyMovePage();
    void CreateDeletePage();
    void CreateRenamePage();
    void ShowInFront();
    void SelectHistory(int row);
    void StartJob(platform::TreeOperation operation, std::vector<std::string> items, const std::string& destination);
    void Poll();
    void FinishJob();
    platform::ConflictAnswer AskConflict(const std::string& source, const std::string& target);

    TViewHost& host_;
    TFileAction action_ = TFileAction::Copy;
    // The paths as bytes; the lists only show them.
    std::vector<std::string> copyMoveItems_, deleteItems_;
    std::string renameFolder_, renameOldName_;
    std::unique_ptr<TThreadFileOperation> job_;
    QPointer<TFormPleaseWait> wait_;
    QTimer* poll_ = nullptr;
};

// Creates every folder (with its parents); when one cannot be created,
// retries through the elevated run of this program ("/CreateFolders=" and
// the quoted list file). false (with "error creating folders" shown when
// that run left its list behind) when a folder is still missing.
bool CreateFolders(const TStringList& folders);

// The elevated run's side: creates the folders listed in the file and,
// when all exist, deletes the file. The process's exit code.
int RunCreateFoldersMode(std::string listFile);

// Deletes one file (clearing read-only when needed); logs "Could not delete
// file: " + path and returns false when it stays.
bool DeleteOneFile(TViewHost& host, const std::string& path);

}  // namespace tandrel
