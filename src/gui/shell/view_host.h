#pragma once
// What a view may ask of the window that holds it: the model, the status
// lines and the messages log, the busy guard of long operations, switching
// between the pages of the disk views and the few settings the views read.
// Views see only this, never the window's widgets; what they announce back
// (a scan ended, a snapshot can be saved) goes out as Qt signals the window
// connects to its own controls.
#include <QPointer>
#include <string>

class QComboBox;
class QWidget;

namespace tandrel {

class ScanModel;
class TFormPleaseWait;
class TListViewEx;

// The pages a view can ask to show or ask about.
enum class TViewPage { TreeMap, TreeSize, DirectoryStatistics, FileStatistics, Overview, CompareFiles };

// What the file-operation panel does with the selected items.
enum class TFileAction { Copy, Move, Delete };

class TViewHost {
public:
    virtual ~TViewHost() = default;

    virtual ScanModel& Model() = 0;
    // The top-level window: parent of progress windows, menus and dialogs.
    virtual QWidget* HostWindow() = 0;

    // Status lines. With a progress window the text goes there.
    virtual void SetStatus(TFormPleaseWait* wait, const std::string& text) = 0;
    virtual void SetStatus2(TFormPleaseWait* wait, const std::string& text) = 0;
    virtual void SetStatusError(const std::string& text) = 0;
    // Newest line on top; the "Messages" panel opens itself.
    virtual void AddErrorLine(const std::string& text) = 0;

    // The three progress-window slots: 1 treemap scan, 2 snapshot comparison,
    // 3 directory comparison and duplicate search.
    virtual QPointer<TFormPleaseWait>& PleaseWaitSlot(int slot) = 0;
    // True while any slot is occupied.
    virtual bool OperationInProgress() const = 0;

    virtual void ShowViewPage(TViewPage page) = 0;
    // The page and, for the disk views, the inner page shown now.
    virtual bool IsViewPageVisible(TViewPage page) const = 0;

    // "Auto update treemap" of the settings: refresh the views while a scan runs.
    virtual bool AutoUpdateTreemap() const = 0;
    // "Count hard links once" of the settings, for the next live scan.
    virtual bool HardLinksOnce() const = 0;
    // A size spin edit whose unit box follows the letters b, k, m and g typed into it.
    virtual void RegisterSizeUnitEdit(QWidget* sizeEdit, QComboBox* unitBox) = 0;

    // Opens the file-operation panel for the selected-files text (full
    // paths, one per line).
    virtual void FileOperation(TFileAction action, const std::string& selectedFilesText) = 0;
    // Opens the file-operation panel on its rename page for one path.
    virtual void RenameFileDialog(const std::string& path) = 0;
    // A list that asked the icon fetcher while painting: it is the list the
    // fetcher's repaint goes to when no disk view page is shown.
    virtual void SetLastActiveLV(TListViewEx* lv) { (void)lv; }
};

}  // namespace tandrel
