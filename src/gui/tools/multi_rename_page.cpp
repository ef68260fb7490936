#include "gui/tools/multi_rename_page.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <functional>
#include <tuple>
#include <utility>

#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "common/strings.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/caption_panel.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

template <class W>
W* Named(W* widget, const char* name, const QString& accessible) {
    widget->setObjectName(name);
    widget->setAccessibleName(accessible);
    return widget;
}

// A selection's text with its paragraph separators as line feeds.
std::string SelectedText(const QTextCursor& cursor) {
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, '\n');
    text.replace(QChar::LineSeparator, '\n');
    return S(text);
}

// Calls back when the watched widget is shown.
class ShowWatcher : public QObject {
public:
    ShowWatcher(QObject* parent, std::function<void()> onShow) : QObject(parent), onShow_(std::move(onShow)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) onShow_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onShow_;
};

}  // namespace

TFormMultiRename::TFormMultiRename(TViewHost& host, QWidget* page) : QObject(host.HostWindow()), main_(host) {
    setObjectName("FormMultiRename");
    BuildWidgets(page);
    page->installEventFilter(new ShowWatcher(this, [this] { HandleEditorButtons(); }));

    connect(edRenameDirectory, &QLineEdit::textChanged, this, [this] { bRename_GetFilesClick(); });
    connect(edRenameDirectory, &QLineEdit::returnPressed, this, [this] { bRename_GetFilesClick(); });
    connect(bRename_GetFiles, &QPushButton::clicked, this, [this] { bRename_GetFilesClick(); });
    connect(rg_SortMethod, &TRadioGroup::itemIndexChanged, this, [this] { bRename_GetFilesClick(); });
    connect(bRenameSort, &QPushButton::clicked, this, [this] { bRenameSortClick(); });
    connect(bReplace, &QPushButton::clicked, this, [this] { bReplaceClick(); });
    connect(bAddStart, &QPushButton::clicked, this, [this] { bAddStartEndClick(bAddStart); });
    connect(bAddEnd, &QPushButton::clicked, this, [this] { bAddStartEndClick(bAddEnd); });
    for (QPushButton* button : {bCut, bCopy, bPaste, bDelete, bUndo, bRedo})
        connect(button, &QPushButton::clicked, this, [this, button] { bEditorButton_GENERIC_Click(button); });
    connect(bRenamePreview, &QPushButton::clicked, this, [this] { bRenamePreviewClick(); });
    connect(bRename, &QPushButton::clicked, this, [this] { bRenameClick(); });
    connect(bRename2, &QPushButton::clicked, this, [this] { bRename2Click(); });
    connect(bCancelRename, &QPushButton::clicked, this, [this] { bCancelRenameClick(); });
    connect(MemoEditor, &QPlainTextEdit::textChanged, this, [this] {
        bRenamePreviewClick();
        HandleEditorButtons();
    });
    connect(MemoEditor, &QPlainTextEdit::selectionChanged, this, [this] { HandleEditorButtons(); });
    connect(MemoEditor, &QPlainTextEdit::undoAvailable, this, [this] { HandleEditorButtons(); });
    connect(MemoEditor, &QPlainTextEdit::redoAvailable, this, [this] { HandleEditorButtons(); });
    // Both lists scroll together, so each new name stays beside its old one.
    QScrollBar* left = lbRenameOriginalList->verticalScrollBar();
    QScrollBar* right = MemoEditor->verticalScrollBar();
    connect(left, &QScrollBar::valueChanged, right, [right](int value) {
        if (right->value() != value) right->setValue(value);
    });
    connect(right, &QScrollBar::valueChanged, left, [left](int value) {
        if (left->value() != value) left->setValue(value);
    });
    HandleEditorButtons();
}

void TFormMultiRename::BuildWidgets(QWidget* page) {
    // Scrolled, so that the page's many controls never dictate the window's smallest size.
    auto* scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    FormPanel_MultiRename = new QWidget(scroll);
    FormPanel_MultiRename->setObjectName("FormPanel_MultiRename");
    scroll->setWidget(FormPanel_MultiRename);
    auto* pageLayout = qobject_cast<QVBoxLayout*>(page->layout());
    if (!pageLayout) pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(scroll, 1);
    QWidget* panel = FormPanel_MultiRename;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("<b>Multiple file renamer</b>", panel));

    auto* top = new QGridLayout;
    edRenameDirectory = Named(new QLineEdit(panel), "edRenameDirectory", "Folder:");
    bRename_GetFiles = Named(new QPushButton("Go", panel), "bRename_GetFiles", "Go");
    edRenameFilter = Named(new QLineEdit("*.*", panel), "edRenameFilter", "Mask:");
    auto* folderLabel = new QLabel("Folder:", panel);
    folderLabel->setBuddy(edRenameDirectory);
    auto* maskLabel = new QLabel("Mask:", panel);
    maskLabel->setBuddy(edRenameFilter);
    top->addWidget(folderLabel, 0, 0);
    top->addWidget(edRenameDirectory, 0, 1);
    top->addWidget(bRename_GetFiles, 0, 2);
    top->addWidget(maskLabel, 1, 0);
    top->addWidget(edRenameFilter, 1, 1);
    rg_SortMethod = Named(new TRadioGroup("Sort method", panel), "rg_SortMethod", "Sort method");
    rg_SortMethod->setItems({"Alphabetic", "Natural", "Date Modified"});
    rg_SortMethod->setItemIndex(static_cast<int>(TRenameSort::Natural));
    top->addWidget(rg_SortMethod, 0, 3, 2, 1);
    layout->addLayout(top);

    auto* tools = new QGridLayout;
    auto tool = [&](int row, const char* editName, const QString& caption, const char* buttonName) {
        auto* edit = Named(new QLineEdit(panel), editName, caption);
        auto* label = new QLabel(caption, panel);
        label->setBuddy(edit);
        auto* go = Named(new QPushButton("Go", panel), buttonName, "Go " + caption.chopped(1).toLower());
        tools->addWidget(label, row, 0);
        tools->addWidget(edit, row, 1);
        tools->addWidget(go, row, 2);
        return std::make_pair(edit, go);
    };
    edFind = Named(new QLineEdit(panel), "edFind", "Find:");
    auto* findLabel = new QLabel("Find:", panel);
    findLabel->setBuddy(edFind);
    tools->addWidget(findLabel, 0, 0);
    tools->addWidget(edFind, 0, 1);
    std::tie(edReplace, bReplace) = tool(1, "edReplace", "Replace:", "bReplace");
    std::tie(edAddStart, bAddStart) = tool(2, "edAddStart", "Add start:", "bAddStart");
    std::tie(edAddEnd, bAddEnd) = tool(3, "edAddEnd", "Add end:", "bAddEnd");
    layout->addLayout(tools);

    auto* editorButtons = new QHBoxLayout;
    auto editorButton = [&](const char* name, const QString& text) {
        auto* button = Named(new QPushButton(text, panel), name, text);
        editorButtons->addWidget(button);
        return button;
    };
    bCut = editorButton("bCut", "Cut");
    bCopy = editorButton("bCopy", "Copy");
    bPaste = editorButton("bPaste", "Paste");
    bDelete = editorButton("bDelete", "Clear selection");
    bUndo = editorButton("bUndo", "Undo");
    bRedo = editorButton("bRedo", "Redo");
    editorButtons->addStretch(1);
    bRenameSort = editorButton("bRenameSort", "Reset editings");
    bRenamePreview = editorButton("bRenamePreview", "Preview");
    bRenamePreview->hide();
    bRename = editorButton("bRename", "Rename");
    layout->addLayout(editorButtons);

    auto* lists = new QHBoxLayout;
    lbRenameOriginalList = Named(new QPlainTextEdit(panel), "lbRenameOriginalList", "Original names");
    lbRenameOriginalList->setReadOnly(true);
    MemoEditor = Named(new QPlainTextEdit(panel), "MemoEditor", "New names");
    for (QPlainTextEdit* editor : {lbRenameOriginalList, MemoEditor}) {
        editor->setLineWrapMode(QPlainTextEdit::NoWrap);
        lists->addWidget(editor, 1);
    }
    layout->addLayout(lists, 3);
    layout->addWidget(new QLabel("rename queue", panel));
    edRenameQueue = Named(new QPlainTextEdit(panel), "edRenameQueue", "rename queue");
    edRenameQueue->setReadOnly(true);
    edRenameQueue->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(edRenameQueue, 1);

    cpanelRenameToBeRenamed = new TCaptionPanelK("Files to be renamed", main_.HostWindow());
    Named(cpanelRenameToBeRenamed, "cpanelRenameToBeRenamed", "Files to be renamed");
    edRenameQueue2 = Named(new QPlainTextEdit(cpanelRenameToBeRenamed), "edRenameQueue2", "Files to be renamed");
    edRenameQueue2->setReadOnly(true);
    edRenameQueue2->setLineWrapMode(QPlainTextEdit::NoWrap);
    edRenameQueue2->setMinimumSize(520, 240);
    cpanelRenameToBeRenamed->Body()->addWidget(edRenameQueue2);
    auto* panelButtons = new QHBoxLayout;
    panelButtons->addStretch(1);
    bRename2 = Named(new QPushButton("Rename", cpanelRenameToBeRenamed), "bRename2", "Rename");
    bCancelRename = Named(new QPushButton("Cancel", cpanelRenameToBeRenamed), "bCancelRename", "Cancel");
    panelButtons->addWidget(bRename2);
    panelButtons->addWidget(bCancelRename);
    cpanelRenameToBeRenamed->Body()->addLayout(panelButtons);
    cpanelRenameToBeRenamed->OnCaptionButton = [this] { bCancelRenameClick(); };
    cpanelRenameToBeRenamed->hide();
}

void TFormMultiRename::bRename_GetFilesClick() {
    lbRenameOriginalList->clear();
    MemoEditor->clear();
    names_.clear();
    lbRenameOriginalList->repaint();
    MemoEditor->repaint();
    const std::string folder = Trim(S(edRenameDirectory->text()));
    if (folder.empty() || !platform::DirectoryExists(folder)) return;
    folder_ = folder;
    const int sort = rg_SortMethod->itemIndex();
    names_ = ListNamesToRename(folder, S(edRenameFilter->text()),
                               sort == 0   ? TRenameSort::Alphabetic
                               : sort == 2 ? TRenameSort::DateModified
                                           : TRenameSort::Natural);
    lbRenameOriginalList->setPlainText(Q(NamesToLines(names_)));
    MemoEditor->setPlainText(lbRenameOriginalList->toPlainText());
}

void TFormMultiRename::bRenameSortClick() {
    QString original = lbRenameOriginalList->toPlainText();
    while (!original.isEmpty()) {
        const qsizetype lineStart = original.lastIndexOf('\n') + 1;
        if (!original.mid(lineStart).trimmed().isEmpty()) break;
        original.truncate(lineStart > 0 ? lineStart - 1 : 0);
    }
    if (original != lbRenameOriginalList->toPlainText()) lbRenameOriginalList->setPlainText(original);
    MemoEditor->setPlainText(original);
}

std::string TFormMultiRename::ToolInput() const {
    const QTextCursor cursor = MemoEditor->textCursor();
    return cursor.hasSelection() ? SelectedText(cursor) : S(MemoEditor->toPlainText());
}

void TFormMultiRename::ApplyToolResult(const std::string& result) {
    QTextCursor cursor = MemoEditor->textCursor();
    if (!cursor.hasSelection()) cursor.select(QTextCursor::Document);
    cursor.beginEditBlock();
    cursor.insertText(Q(Trim(result)));
    cursor.endEditBlock();
    MemoEditor->setTextCursor(cursor);
    HandleEditorButtons();
}

void TFormMultiRename::bReplaceClick() {
    const std::string find = S(edFind->text());
    if (find.empty()) return;
    ApplyToolResult(ReplaceAllIgnoreCase(ToolInput(), find, S(edReplace->text())));
}

void TFormMultiRename::bAddStartEndClick(QObject* sender) {
    const bool atStart = sender == bAddStart;
    const std::string add = S(atStart ? edAddStart->text() : edAddEnd->text());
    const std::string input = ToolInput();
    std::string result;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        std::string line = input.substr(start, end - start);
        if (!Trim(line).empty()) line = atStart ? add + line : line + add;
        result += line;
        if (end < input.size()) result += '\n';
        start = end + 1;
    }
    ApplyToolResult(result);
}

void TFormMultiRename::bEditorButton_GENERIC_Click(QObject* sender) {
    if (sender == bCut)
        MemoEditor->cut();
    else if (sender == bCopy)
        MemoEditor->copy();
    else if (sender == bPaste)
        MemoEditor->paste();
    else if (sender == bDelete)
        MemoEditor->textCursor().removeSelectedText();
    else if (sender == bUndo)
        MemoEditor->undo();
    else if (sender == bRedo)
        MemoEditor->redo();
    else
        ShowInfo("Unknown sender");
    HandleEditorButtons();
}

void TFormMultiRename::HandleEditorButtons() {
    QTextDocument* document = MemoEditor->document();
    bUndo->setEnabled(document->isUndoAvailable());
    bRedo->setEnabled(document->isRedoAvailable());
    const bool selected = MemoEditor->textCursor().hasSelection();
    bCut->setEnabled(selected);
    bCopy->setEnabled(selected);
    bDelete->setEnabled(selected);
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    bPaste->setEnabled(clipboard != nullptr && !clipboard->formats().isEmpty());
}

void TFormMultiRename::bRenamePreviewClick(bool explicitRename) {
    std::vector<std::string> original;
    original.reserve(names_.size());
    for (const std::string& name : names_) original.push_back(EscapeLineName(name));
    std::vector<std::string> modified = EditorLines(S(MemoEditor->toPlainText()));
    unknownBytes_.clear();
    // A name shown with replacement characters (bytes that are not UTF-8)
    // keeps its bytes while its line is unchanged; an edited one cannot.
    for (std::size_t i = 0; i < modified.size() && i < original.size(); ++i) {
        const QString shown = Q(original[i]).trimmed();
        const QString typed = Q(modified[i]).trimmed();
        if (typed == shown)
            modified[i] = original[i];
        else if (typed.contains(QChar::ReplacementCharacter))
            unknownBytes_.push_back(S(typed));
    }
    TRenameBatch batch = BuildRenameBatch(folder_, original, modified);
    if (batch.linesDiffer) {
        if (explicitRename) ShowInfo("Lists do not contain same number of Items");
        return;
    }
    batch_ = std::move(batch);
    ShowQueue();
}

void TFormMultiRename::ShowQueue() {
    QStringList lines;
    for (const std::string& line : RenameQueueLines(batch_)) lines << Q(line);
    edRenameQueue->setPlainText(lines.join('\n'));
}

void TFormMultiRename::bRenameClick() {
    bRenamePreviewClick(true);
    if (batch_.items.empty()) return;
    edRenameQueue2->setPlainText(edRenameQueue->toPlainText());
    cpanelRenameToBeRenamed->ShowCentred();
}

void TFormMultiRename::bRename2Click() {
    bRenamePreviewClick();
    if (batch_.items.empty()) return;
    // Refused as a whole before the question: nothing is renamed then.
    std::vector<std::string> problems = CheckRenameBatch(batch_);
    for (const std::string& typed : unknownBytes_)
        problems.push_back(typed + ": the name holds characters that could not be shown; type it anew");
    if (!problems.empty()) {
        std::string text = "Nothing was renamed:";
        for (const std::string& problem : problems) text += "\n" + problem;
        ShowError(text);
        return;
    }
    const std::string count = FormatCount(static_cast<double>(batch_.items.size()));
    if (AskOkCancel("You are about to rename " + count + " Items") != MessageAnswer::Ok) return;

    const int renamed = RunRenameBatch(batch_);
    ShowQueue();
    edRenameQueue2->setPlainText(edRenameQueue->toPlainText());
    if (renamed < 0) {  // the folder changed since the check
        std::string text = "Nothing was renamed:";
        for (const std::string& problem : batch_.problems) text += "\n" + problem;
        ShowError(text);
        return;
    }
    ShowInfo(FormatCount(renamed) + " files processed");
    bool allDone = true;
    for (const TRenameItem& item : batch_.items)
        allDone &= item.outcome == TRenameOutcome::Renamed || item.outcome == TRenameOutcome::Skipped;
    if (!allDone) {
        const std::string report = RenameFailureReport(batch_);
        main_.AddErrorLine(report);
        ShowError(report);
    }
    cpanelRenameToBeRenamed->hide();
}

void TFormMultiRename::bCancelRenameClick() { cpanelRenameToBeRenamed->hide(); }

}  // namespace tandrel
