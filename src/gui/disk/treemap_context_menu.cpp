// The treemap's context menu: opening, locating, zooming, tools in the
// node's folder and the file operations, for the node under the pointer.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

#include "common/compare.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/treemap_painter.h"
#include "gui/disk/treemap_surface.h"
#include "gui/shell/shell_services.h"
#include "gui/shell/view_host.h"
#include "platform/file_system.h"
#include "scan/scan_model.h"

namespace tandrel {

namespace {
// Big enough to find one's way, small enough for a menu.
constexpr std::size_t kMostSubfolders = 51;
}  // namespace

void TFormDiskTreeMap::CreateContextMenu() {
    popupTreeMap = new QMenu(imageDiskTreemap);
    popupTreeMap->setObjectName("popupTreeMap");
    auto item = [this](const char* name, const QString& caption, auto handler) {
        QAction* action = popupTreeMap->addAction(caption, this, handler);
        action->setObjectName(name);
        return action;
    };
    // The selected path, read when the item is chosen: the menu may outlive a scan.
    auto path = [this] { return selectedPath_; };

    piTreemapCurrentItem = item("piTreemapCurrentItem", {}, [] {});
    piTreemapCurrentItem->setEnabled(false);
    popupTreeMap->addSeparator();
    piOpen = item("piOpen", "Open folder", [path] { ShellOpen(path()); });
    item("piLocate", "Open File Location (Locate in explorer)", [path] { ShellLocate(path()); });
    popupTreeMap->addSeparator();
    piZoomToSelectedFolder = item("piZoomToSelectedFolder", "Zoom to folder", [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        AnimatedZoom(navigator_.CurrentNode, false);
    });
    piZoomToFileContainer = item("piZoomToFileContainer", "Zoom to folder", [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        AnimatedZoom(navigator_.CurrentNode, true);
    });
    piZoomToChild = popupTreeMap->addMenu("Zoom to subfolder");
    piZoomToChild->setObjectName("piZoomToChild");
    piZoomToFile = item("piZoomToFile", "Zoom to file", [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        AnimatedZoom(navigator_.CurrentNode, false);
    });
    popupTreeMap->addSeparator();
    piTreemapHere = item("piTreemapHere", "Treemap here", [path] { StartTreemapHere(path()); });
    item("piCommandPromptHere", "Command prompt here", [path] {
        if (!ShellCommandPromptHere(path())) ShowError("No terminal program found");
    });
    item("piQuorvelHere", "Quorvel here", [path] {
        if (const std::string message = StartCompanionTool(path()); !message.empty()) ShowInfo(message);
    });
    popupTreeMap->addSeparator();
    popupTreeMap->addSeparator();
    item("piRename", "Rename...", [this, path] {
        if (!path().empty()) host_.RenameFileDialog(path());
    });
    item("piCopyTo", "Copy to...", [this, path] { host_.FileOperation(TFileAction::Copy, path()); });
    item("piMoveTo", "Move to...", [this, path] { host_.FileOperation(TFileAction::Move, path()); });
    item("piDelete", "Delete", [this, path] { host_.FileOperation(TFileAction::Delete, path()); });
    popupTreeMap->addSeparator();
    item("piCopyFilename", "Copy filename", [this] {
        std::lock_guard lock(host_.Model().csTreemap);
        if (navigator_.CurrentNode) CopyFilenameToClipboard(GetNodeFullPath(host_.Model(), navigator_.CurrentNode));
    });
    item("piShellProperties", "Shell Properties", [this, path] {
        if (!path().empty()) ShellProperties(path(), host_.HostWindow());
    });

    imageDiskTreemap->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(imageDiskTreemap, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (popupTreeMapPopup(pos)) popupTreeMap->popup(imageDiskTreemap->mapToGlobal(pos));
    });
}

bool TFormDiskTreeMap::popupTreeMapPopup(QPoint pos) {
    ScanModel& model = host_.Model();
    std::lock_guard lock(model.csTreemap);
    if (model.DiskTreeMapEntries.Count() <= 1 || !Root() || !Root()->_BoxInfo) return false;
    Hover(pos);
    TDiskTreeMapEntry* current = navigator_.HoveredNode;
    if (!current) return false;
    navigator_.CurrentNode = current;
    selectedPath_ = GetNodeFullPath(model, current);

    piTreemapCurrentItem->setText(
        QString::fromStdString(FormatBytes(current->SizeTotal) + ", " + selectedPath_ + " ]"));
    const bool file = platform::FileExists(selectedPath_);
    piOpen->setText(file ? "Open / Execute file" : "Open folder");
    piZoomToFileContainer->setVisible(file);
    piZoomToFile->setVisible(file);
    piZoomToSelectedFolder->setVisible(!file);
    piTreemapHere->setVisible(!file);
    navigator_.SelectNode(current);
    bSelectParent->setEnabled(navigator_.CanSelectParent());
    DiskTreeMap_UpdateScreen();

    piZoomToChild->menuAction()->setVisible(!file);
    if (!file) FillZoomToChild(current);
    return true;
}

void TFormDiskTreeMap::FillZoomToChild(TDiskTreeMapEntry* folder) {
    piZoomToChild->clear();
    // Children come biggest first, so the first ones are the largest.
    std::vector<std::pair<TDiskTreeMapEntry*, int>> subfolders;
    const auto& children = folder->ChildrenEntries;
    for (int i = 0; i < static_cast<int>(children.size()) && subfolders.size() < kMostSubfolders; ++i) {
        if (children[i]->EntryType != EntryType_File) subfolders.emplace_back(children[i], i);
    }
    std::stable_sort(subfolders.begin(), subfolders.end(),
                     [](const auto& a, const auto& b) { return CompareTextLocale(a.first->Name, b.first->Name) < 0; });
    for (const auto& [child, position] : subfolders) {
        QAction* action = piZoomToChild->addAction(QString::fromStdString(child->Name));
        action->setData(position);
        connect(action, &QAction::triggered, this, [this, folder, position = position] {
            std::lock_guard lock(host_.Model().csTreemap);
            // The tree may have been rebuilt since the menu was filled.
            if (navigator_.CurrentNode != folder || position >= static_cast<int>(folder->ChildrenEntries.size()))
                return;
            AnimatedZoom(folder->ChildrenEntries[position], false);
        });
    }
    piZoomToChild->setEnabled(!subfolders.empty());
}

void TFormDiskTreeMap::AnimatedZoom(TDiskTreeMapEntry* node, bool toParent) {
    if (!node) return;
    PushState();
    if (toParent)
        navigator_.ZoomToParent(node);
    else
        navigator_.ZoomToNode(node);
    StartZoomAnimation();
}

}  // namespace tandrel
