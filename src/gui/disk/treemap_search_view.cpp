// The treemap's search: the field with its debounce, the hits painted in the
// search colour, and the floating list of hits with its own menu.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "common/compare.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "common/message_routines.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/view_host.h"
#include "gui/widgets/caption_panel.h"
#include "gui/widgets/list_view_ex.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"
#include "scan/tree_edits.h"
#include "treemap/treemap_search.h"

namespace tandrel {

namespace {

const QStringList kSearchResultColumns = {"Filename:270:L:0", "Size:70:R:101", "Path:400:L:0"};

// Folders of files: the folder itself for a folder.
std::string FolderOfPath(const std::string& path) {
    return platform::FileExists(path) ? RemoveTrailingBackslash(ExtractFilePath(path)) : path;
}

}  // namespace

void TFormDiskTreeMap::CreateSearch(QWidget* page, QHBoxLayout* header, QWidget* headerHost) {
    edSearchTerm = new QLineEdit(headerHost);
    edSearchTerm->setObjectName("edSearchTerm");
    edSearchTerm->setPlaceholderText("Search");
    edSearchTerm->setAccessibleName("Search the treemap");
    edSearchTerm->setClearButtonEnabled(true);
    header->addWidget(edSearchTerm);
    bSearch = new QPushButton("Search", headerHost);
    bSearch->setObjectName("bSearch");
    header->addWidget(bSearch);
    labelSearching = new QLabel("Searching...", headerHost);
    labelSearching->setObjectName("labelSearching");
    labelSearching->hide();
    header->addWidget(labelSearching);
    bShowSearchResults = new QToolButton(headerHost);
    bShowSearchResults->setObjectName("bShowSearchResults");
    bShowSearchResults->setText("Results");
    bShowSearchResults->setToolTip("Show search results");
    bShowSearchResults->setAccessibleName("Show search results");
    bShowSearchResults->hide();
    header->addWidget(bShowSearchResults);
    timerSearch = new QTimer(this);
    timerSearch->setObjectName("timerSearch");
    timerSearch->setInterval(300);
    timerSearch->setSingleShot(true);

    panelSearchResults = new TCaptionPanelK("results", page);
    panelSearchResults->setObjectName("panelSearchResults");
    panelSearchResults->setAccessibleName("Search results");
    panelSearchResults->setGeometry(40, 156, 10, 41);
    panelSearchResults->hide();
    lvSearchResults = new TListViewEx(panelSearchResults);
    lvSearchResults->setObjectName("lvSearchResults");
    lvSearchResults->setAccessibleName("Search results");
    lvSearchResults->SetDesignedColumns(kSearchResultColumns);
    lvSearchResults->OnGetText = [this](int row, int column) { return SearchResultText(row, column); };
    lvSearchResults->OnGetIcon = [this](int row, int) {
        std::lock_guard lock(host_.Model().csTreemap);
        const TDiskTreeMapEntry* node =
            row >= 0 && row < static_cast<int>(searchHits_.size()) ? searchHits_[row] : nullptr;
        if (!node) return QIcon();
        return QApplication::style()->standardIcon(node->EntryType == EntryType_File ? QStyle::SP_FileIcon
                                                                                     : QStyle::SP_DirIcon);
    };
    lvSearchResults->OnSort = [this] { SortSearchResults(); };
    panelSearchResults->Body()->addWidget(lvSearchResults, 1);
    cbCloseOnSelect = new QCheckBox("close on select", panelSearchResults);
    cbCloseOnSelect->setObjectName("cbCloseOnSelect");
    panelSearchResults->Body()->addWidget(cbCloseOnSelect);
    panelSearchResults->OnCaptionButton = [this] {
        panelSearchResults->hide();
        bShowSearchResults->show();
    };

    popupSearchResults = new QMenu(lvSearchResults);
    popupSearchResults->setObjectName("popupSearchResults");
    auto item = [this](const char* name, const QString& caption, auto handler) {
        QAction* action = popupSearchResults->addAction(caption, this, handler);
        action->setObjectName(name);
        return action;
    };
    // Each item acts on the selected row's node, nothing without one.
    auto selectedPath = [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        TDiskTreeMapEntry* node = SelectedSearchResult();
        return node ? NodeFullPath(node) : std::string();
    };
    item("piSearchLocate", "Open File Location (Locate in explorer)", [selectedPath] {
        if (const std::string path = selectedPath(); !path.empty()) ShellLocate(path);
    });
    item("piSearchCommandPromptHere", "Command prompt here", [selectedPath] {
        const std::string path = selectedPath();
        if (!path.empty() && !ShellCommandPromptHere(FolderOfPath(path))) ShowError("No terminal program found");
    });
    item("piSearchCopyFilename", "Copy filename", [selectedPath] {
        if (const std::string path = selectedPath(); !path.empty()) CopyFilenameToClipboard(path);
    });
    item("piSearchShellProperties", "Shell Properties", [this, selectedPath] {
        if (const std::string path = selectedPath(); !path.empty()) ShellProperties(path, host_.HostWindow());
    });

    connect(edSearchTerm, &QLineEdit::textChanged, this, &TFormDiskTreeMap::edSearchTermChange);
    connect(edSearchTerm, &QLineEdit::returnPressed, this, &TFormDiskTreeMap::bSearchClick);
    connect(timerSearch, &QTimer::timeout, this, &TFormDiskTreeMap::timerSearchTimer);
    connect(bSearch, &QPushButton::clicked, this, &TFormDiskTreeMap::bSearchClick);
    connect(bShowSearchResults, &QToolButton::clicked, this, [this] {
        panelSearchResults->setVisible(!panelSearchResults->isVisible());
        if (panelSearchResults->isVisible()) panelSearchResults->raise();
        bShowSearchResults->hide();
        DiskTreeMap_PlaceSearchPanel();
    });
    connect(lvSearchResults, &TListViewEx::DblClick, this, &TFormDiskTreeMap::lvSearchResultsDblClick);
    connect(lvSearchResults, &TListViewEx::RowContextMenu, this, [this](const QPoint& at, int row) {
        if (row >= 0) popupSearchResults->popup(at);
    });
    lvSearchResults->OnSelectItem = [this](int, bool) {
        // Typing goes on in the field unless the right button picks a row for its menu.
        if (!(QGuiApplication::mouseButtons() & Qt::RightButton)) edSearchTerm->setFocus();
    };
}

void TFormDiskTreeMap::edSearchTermChange() {
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    if (model.DiskTreeMapEntries.Empty()) return;
    if (edSearchTerm->text().size() > 2) {
        timerSearch->start();
    } else if (!searchHits_.empty()) {
        timerSearch->stop();
        DiskTreeMap_ClearSearch();
        panelSearchResults->hide();
        DiskTreeMap_UpdateScreen();
    }
}

void TFormDiskTreeMap::bSearchClick() {
    if (edSearchTerm->text().size() < 3) {
        ShowInfo("Search term must have at least 3 characters");
        return;
    }
    timerSearchTimer();
}

void TFormDiskTreeMap::timerSearchTimer() {
    timerSearch->stop();
    ScanModel& model = host_.Model();
    if (model.DiskTreeMapEntries.Empty()) return;
    labelSearching->show();
    labelSearching->repaint();
    {
        std::lock_guard lock(model.csTreemap);
        DiskTreeMap_ClearSearch();
        searchHits_ = SearchTreemap(model, edSearchTerm->text().toStdString());
        for (TDiskTreeMapEntry* node : searchHits_) node->_SearchResult = true;
        lvSearchResults->SetItemsCount(static_cast<int>(searchHits_.size()));
        if (lvSearchResults->ColumnClicked >= 0) SortSearchResults();
        bShowSearchResults->hide();
        if (searchHits_.empty()) {
            panelSearchResults->hide();
        } else {
            QWidget* parent = panelSearchResults->parentWidget();
            const QRect r = panelSearchResults->geometry();
            if (r.width() < 80 || r.height() < 50 || r.width() + r.left() < 0) {
                const QScreen* screen = parent->screen();
                const int half = (screen ? screen->geometry().width() : parent->width()) / 2;
                panelSearchResults->setGeometry(3, parent->height() - 4 - 120, half, 120);
            }
            panelSearchResults->show();
            panelSearchResults->raise();
        }
        if (!host_.IsViewPageVisible(TViewPage::TreeMap)) host_.ShowViewPage(TViewPage::TreeMap);
        DiskTreeMap_UpdateScreen();
        labelSearching->hide();
        DiskTreeMap_PlaceSearchPanel();
    }
    emit SearchDone(static_cast<int>(searchHits_.size()));
}

void TFormDiskTreeMap::DiskTreeMap_ClearSearch() {
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    if (model.DiskTreeMapEntries.Count() > 2)
        for (TDiskTreeMapEntry* node : searchHits_) node->_SearchResult = false;
    searchHits_.clear();
    lvSearchResults->SetItemsCount(0);
    bShowSearchResults->hide();
}

void TFormDiskTreeMap::DropRemovedSearchHits() {
    const auto removed = std::remove_if(searchHits_.begin(), searchHits_.end(),
                                        [](const TDiskTreeMapEntry* node) { return IsRemovedNode(node); });
    if (removed == searchHits_.end()) return;
    searchHits_.erase(removed, searchHits_.end());
    lvSearchResults->SetItemsCount(static_cast<int>(searchHits_.size()));
    lvSearchResults->Invalidate();
}

void TFormDiskTreeMap::DiskTreeMap_PlaceSearchPanel() {
    QWidget* parent = panelSearchResults->parentWidget();
    const int w = panelSearchResults->width(), h = panelSearchResults->height();
    const int wp = parent->width(), hp = parent->height();
    int x = panelSearchResults->x(), y = panelSearchResults->y();
    if (y + h / 2 > hp) y = hp - h;
    if (y + h - h / 2 < 0) y = h / 2 - h;
    if (x + w / 2 > wp) x = wp - w / 2;
    if (x + w - w / 2 < 0) x = w / 2 - w;
    panelSearchResults->move(x, y);
}

QString TFormDiskTreeMap::SearchResultText(int row, int column) const {
    std::lock_guard lock(host_.Model().csTreemap);
    if (row < 0 || row >= static_cast<int>(searchHits_.size())) return {};
    const TDiskTreeMapEntry* node = searchHits_[row];
    switch (column) {
        case 0:
            return QString::fromStdString(node->Name);
        case 1:
            return QString::fromStdString(FormatBytes(node->SizeTotal));
        case 2:
            return QString::fromStdString(NodeFullPath(node));
    }
    return {};
}

void TFormDiskTreeMap::SortSearchResults() {
    const int column = lvSearchResults->ColumnClicked;
    if (column < 0) return;
    const bool inverse = lvSearchResults->FlagInverseSort;
    std::lock_guard lock(host_.Model().csTreemap);
    auto less = [column](const TDiskTreeMapEntry* a, const TDiskTreeMapEntry* b) {
        switch (column) {
            case 0:
                return CompareTextLocale(a->Name, b->Name) < 0;
            case 1:
                return a->SizeTotal > b->SizeTotal;
            default:
                return CompareTextLocale(NodeFullPath(a), NodeFullPath(b)) < 0;
        }
    };
    if (inverse)
        std::stable_sort(searchHits_.begin(), searchHits_.end(), [&](auto* a, auto* b) { return less(b, a); });
    else
        std::stable_sort(searchHits_.begin(), searchHits_.end(), less);
    lvSearchResults->Invalidate();
}

TDiskTreeMapEntry* TFormDiskTreeMap::SelectedSearchResult() const {
    const int row = lvSearchResults->SelectedRow();
    return row >= 0 && row < static_cast<int>(searchHits_.size()) ? searchHits_[row] : nullptr;
}

void TFormDiskTreeMap::lvSearchResultsDblClick(int row) {
    {
        std::lock_guard lock(host_.Model().csTreemap);
        if (row < 0 || row >= static_cast<int>(searchHits_.size())) {
            edSearchTerm->setFocus();
            return;
        }
        TDiskTreeMapEntry* node = searchHits_[row];
        if (!navigator_.HasTree() || IsRemovedNode(node)) return;
        PushState();
        navigator_.ZoomToNode(node);
        StartZoomAnimation();
    }
    if (cbCloseOnSelect->isChecked()) {
        panelSearchResults->hide();
        bShowSearchResults->show();
    }
}

}  // namespace tandrel
