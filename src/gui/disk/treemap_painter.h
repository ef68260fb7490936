#pragma once
// Paints the treemap onto a persistent image: every box that meets the view
// window, coloured by depth, files in their own looks, the selected folder
// framed, and icons and captions on boxes large enough to carry them. The
// image is changed in place, so one hovered box can be repainted without
// touching the rest of the map.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QTextLayout>
#include <cstdint>
#include <functional>
#include <string>

#include "common/types.h"
#include "scan/scan_model.h"
#include "treemap/treemap_geometry.h"

class QPainter;

namespace tandrel {

// Fill colour of a box at this depth. folderColors is the index of "Folder
// colors": 1 "Velmora colors", anything else "Default colors". Depths
// beyond the table use its last colour; negative depths the root's.
QRgb TreemapLevelColor(int folderColors, int level);

// A file's modification time as the locale's short date, a blank and its
// long time (without a time zone); at midnight the date alone. The formats
// are those of the default locale when the object is made.
class TDateTexts {
public:
    TDateTexts();
    QString Text(TDateTime value) const;

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
};

class TTreemapPainter : public QObject {
    Q_OBJECT

public:
    // The part of the canvas shown on the surface, in canvas pixels: the
    // layout's own view window.
    using TViewWindow = tandrel::TViewWindow;
    // Icon of a file by its full path; a null pixmap when none is known (yet).
    // It may throw: the file's box then stays without icon and caption.
    using TIconSource = std::function<QPixmap(const std::string& fullPath)>;

    static constexpr QRgb kBackgroundColor = 0xFF808080;
    static constexpr QRgb kOutlineColor = 0xFFCCCCCC;
    static constexpr QRgb kDebugOutlineColor = 0xFFFF0000;
    static constexpr QRgb kSelectedFolderColor = 0xFF000080;
    static constexpr QRgb kSelectedFileColor = 0xFF3333B3;
    static constexpr QRgb kSearchResultColor = 0xFF44DD44;
    static constexpr QRgb kFileColor = 0xFFFFFFFF;

    explicit TTreemapPainter(ScanModel& model, QObject* parent = nullptr);
    ~TTreemapPainter() override;

    // Gives the bitmap this size and clears it when the size differs or it
    // was never cleared; true when it did. The outline colour is settled
    // here ("debug" on the command line makes it red).
    bool SizeBitmap(int width, int height);
    bool imageDiskTreemapInit() const { return imageInit_; }
    const QImage& Image() const { return image_; }
    QRgb OutlineColor() const { return outline_; }

    // "Folder colors" (rgFolderColors.ItemIndex).
    void SetFolderColors(int itemIndex) { folderColors_ = itemIndex; }
    int FolderColors() const { return folderColors_; }
    // "Show Files" (cbTreeMapShowFiles); on by default.
    void SetShowFiles(bool show) { showFiles_ = show; }
    bool ShowFiles() const { return showFiles_; }
    void SetSelectedFolder(const TDiskTreeMapEntry* node) { selectedFolder_ = node; }
    const TDiskTreeMapEntry* SelectedFolder() const { return selectedFolder_; }
    void SetSelectedFile(const TDiskTreeMapEntry* node) { selectedFile_ = node; }
    const TDiskTreeMapEntry* SelectedFile() const { return selectedFile_; }
    void SetViewWindow(const TViewWindow& view) { view_ = view; }
    const TViewWindow& ViewWindow() const { return view_; }
    void SetIconSource(TIconSource source) { iconSource_ = std::move(source); }
    // The caption font; the application's font unless set.
    void SetCaptionFont(const QFont& font);
    const QFont& CaptionFont() const { return font_; }
    // The 16 x 16 folder picture drawn beside folder captions: a drawn one
    // until the window hands over its own.
    const QImage& FolderIcon() const { return folderIcon_; }
    void SetFolderIcon(const QImage& image) { folderIcon_ = image; }

    // Draws the node and everything below it that meets the view window.
    // On the root this is the whole map; on any other node it repaints only
    // that node's box and its subtree (the hover redraw). With acquire the
    // model lock is held for the drawing.
    void DiskTreeMap_UpdateGraphFor(TDiskTreeMapEntry* thisEntry, bool highlight, bool acquire);
    // The whole map, when there is one.
    void DiskTreeMap_UpdateScreen();

signals:
    // Pixels inside this rectangle of the image were painted.
    void imageChanged(const QRect& area);

private:
    struct TSurfaceRect {
        int Left, Top, Right, Bottom;
        bool Empty() const { return Right <= Left || Bottom <= Top; }
    };

    void DrawNode(TDiskTreeMapEntry* node, bool highlight);
    void DrawFolderCaption(const TDiskTreeMapEntry& node, TSurfaceRect r, const QRect& box);
    // False when the icon source failed: the node is not drawn further.
    bool DrawFileCaption(const TDiskTreeMapEntry& node, TSurfaceRect r, const QRect& box, QRgb textColor);
    // The part of a 16 x 16 picture at (x, y) that lies inside box.
    void DrawIcon(const QImage* image, const QPixmap* pixmap, int x, int y, const QRect& box);
    void DrawTextLine(const QString& text, const TSurfaceRect& r);
    void BuildFolderIcon();

    ScanModel& model_;
    QImage image_;
    bool imageInit_ = false;
    QRgb outline_ = kBackgroundColor;
    int folderColors_ = 0;
    bool showFiles_ = true;
    const TDiskTreeMapEntry* selectedFolder_ = nullptr;
    const TDiskTreeMapEntry* selectedFile_ = nullptr;
    TViewWindow view_;
    TIconSource iconSource_;
    QImage folderIcon_;

    // Kept across redraws so that boxes cost no allocations of their own.
    QFont font_;
    QFontMetrics metrics_;
    int sizeDateHeight_ = 0;  // height of the two-line size and date block
    QString text_;
    QTextLayout nameLayout_;
    TDateTexts dateTexts_;

    // State of the pass in progress.
    QPainter* painter_ = nullptr;
    QRect dirty_;
    bool corrupt_ = false;
    bool inverted_ = false;
};

}  // namespace tandrel
