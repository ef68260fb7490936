#pragma once
// The "Multi-Rename" page: the names of one folder's files in a read-only
// list and an editable copy; every changed line of the copy becomes a rename,
// previewed in the rename queue and carried out from the "Files to be
// renamed" panel after a question.
#include <QObject>
#include <string>
#include <vector>

#include "scan/multi_rename.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tandrel {

class TViewHost;
class TRadioGroup;
class TCaptionPanelK;

struct TFormMultiRenameUi {
    QWidget* FormPanel_MultiRename = nullptr;
    QLineEdit* edRenameDirectory = nullptr;
    QPushButton* bRename_GetFiles = nullptr;
    QLineEdit* edRenameFilter = nullptr;
    TRadioGroup* rg_SortMethod = nullptr;
    QPushButton* bRenameSort = nullptr;
    QPlainTextEdit* lbRenameOriginalList = nullptr;
    QPlainTextEdit* MemoEditor = nullptr;
    QLineEdit* edFind = nullptr;
    QLineEdit* edReplace = nullptr;
    QPushButton* bReplace = nullptr;
    QLineEdit* edAddStart = nullptr;
    QPushButton* bAddStart = nullptr;
    QLineEdit* edAddEnd = nullptr;
    QPushButton* bAddEnd = nullptr;
    QPushButton* bCut = nullptr;
    QPushButton* bCopy = nullptr;
    QPushButton* bPaste = nullptr;
    QPushButton* bDelete = nullptr;
    QPushButton* bUndo = nullptr;
    QPushButton* bRedo = nullptr;
    QPushButton* bRenamePreview = nullptr;
    QPushButton* bRename = nullptr;
    QPlainTextEdit* edRenameQueue = nullptr;
    TCaptionPanelK* cpanelRenameToBeRenamed = nullptr;
    QPlainTextEdit* edRenameQueue2 = nullptr;
    QPushButton* bRename2 = nullptr;
    QPushButton* bCancelRename = nullptr;
};

class TFormMultiRename : public QObject, private TFormMultiRenameUi {
    Q_OBJECT
public:
    TFormMultiRename(TViewHost& host, QWidget* page);

    void bRename_GetFilesClick();
    void bRenameSortClick();
    void bReplaceClick();
    void bAddStartEndClick(QObject* sender);
    void bEditorButton_GENERIC_Click(QObject* sender);
    // Rebuilds the queue; with explicit, unequal line counts are told.
    void bRenamePreviewClick(bool explicitRename = false);
    void bRenameClick();
    void bRename2Click();
    void bCancelRenameClick();
    void HandleEditorButtons();

    TFormMultiRenameUi& WidgetsForTest() { return *this; }
    const TRenameBatch& BatchForTest() const { return batch_; }

private:
    void BuildWidgets(QWidget* page);
    // The selection of the modified editor, or its whole text.
    std::string ToolInput() const;
    void ApplyToolResult(const std::string& result);
    void ShowQueue();

    TViewHost& main_;
    std::string folder_;              // of the loaded names
    std::vector<std::string> names_;  // as on disk, line by line of the original list
    TRenameBatch batch_;
    // Lines whose new name holds a character that stands for bytes that
    // could not be shown: the bytes it replaced are unknown.
    std::vector<std::string> unknownBytes_;
};

}  // namespace tandrel
