#include "gui/disk/treemap_painter.h"

#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QTextLayout>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "common/command_line.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/message_routines.h"

namespace tandrel {

namespace {

constexpr QRgb kDefaultColors[] = {0xFF999999, 0xFF7777BB, 0xFFCC7777, 0xFF996699, 0xFFCCCC66,
                                   0xFF66CCCC, 0xFFCC66CC, 0xFF99CC99, 0xFFCC9999, 0xFF9966FF};
constexpr QRgb kVelmoraColors[] = {0xFF999999, 0xFFFF9090, 0xFFFFC080, 0xFFFFFF33, 0xFF80FF80,
                                   0xFF80FFFF, 0xFF7777FF, 0xFF7777FF, 0xFF7777FF, 0xFF7777FF};
constexpr int kLevels = static_cast<int>(std::size(kDefaultColors));
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr int kIconSize = 16;

bool IsFileNode(const TDiskTreeMapEntry& node) {
    return node.EntryType == EntryType_File || node.EntryType == EntryType_FreeSpace;
}

// Surface coordinates stay far inside int, whatever a runaway zoom does to
// the canvas.
int ClampCoordinate(std::int64_t value) {
    constexpr std::int64_t kLimit = 1 << 30;
    return static_cast<int>(std::clamp<std::int64_t>(value, -kLimit, kLimit));
}

std::int64_t TruncToInt64(float value) {
    if (!std::isfinite(value)) return 0;
    constexpr float kLimit = 1e15f;
    return static_cast<std::int64_t>(std::clamp(value, -kLimit, kLimit));
}

bool InsideOf(const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

QRect ToQRect(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

QRgb TreemapLevelColor(int folderColors, int level) {
    const QRgb* table = folderColors == 1 ? kVelmoraColors : kDefaultColors;
    return table[std::clamp(level, 0, kLevels - 1)];
}

TDateTexts::TDateTexts() : dateFormat_(locale_.dateFormat(QLocale::ShortFormat)) {
    // The long time without its time-zone field.
    const QString format = locale_.timeFormat(QLocale::LongFormat);
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') continue;
        timeFormat_ += c;
    }
    timeFormat_ = timeFormat_.simplified();
}

QString TDateTexts::Text(TDateTime value) const {
    const platform::CalendarFields f = DecodeDateTime(value);
    QString text = locale_.toString(QDate(f.year, f.month, f.day), dateFormat_);
    if (f.hour != 0 || f.minute != 0 || f.second != 0 || f.millisecond != 0) {
        text += u' ';
        text += locale_.toString(QTime(f.hour, f.minute, f.second, f.millisecond), timeFormat_);
    }
    return text;
}

TTreemapPainter::TTreemapPainter(ScanModel& model, QObject* parent)
    : QObject(parent), model_(model), font_(QGuiApplication::font()), metrics_(font_) {
    SetCaptionFont(font_);
    nameLayout_.setCacheEnabled(true);
    QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
    wrap.setWrapMode(QTextOption::WordWrap);
    nameLayout_.setTextOption(wrap);
    BuildFolderIcon();
}

TTreemapPainter::~TTreemapPainter() = default;

void TTreemapPainter::SetCaptionFont(const QFont& font) {
    font_ = font;
    metrics_ = QFontMetrics(font_);
    nameLayout_.setFont(font_);
    sizeDateHeight_ =
        metrics_.boundingRect(QRect(0, 0, 1 << 16, 1 << 16), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("size\ndate"))
            .height();
}

void TTreemapPainter::BuildFolderIcon() {
    // A plain manila folder: tab, back and a front flap. The top row stays
    // clear, because the picture is placed one pixel above the caption strip.
    folderIcon_ = QImage(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    folderIcon_.fill(Qt::transparent);
    QPainter p(&folderIcon_);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor edge(0x9A, 0x6B, 0x12);
    p.setPen(edge);
    p.setBrush(QColor(0xE0, 0xA8, 0x30));
    p.drawRect(1, 2, 6, 3);    // tab
    p.drawRect(1, 4, 13, 10);  // back
    p.setBrush(QColor(0xF8, 0xD2, 0x5C));
    p.drawRect(1, 6, 13, 8);  // front
    p.setPen(QColor(0xFC, 0xE8, 0xA0));
    p.drawLine(2, 7, 13, 7);  // light on the front's upper edge
}

bool TTreemapPainter::SizeBitmap(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (imageInit_ && image_.width() == width && image_.height() == height) return false;
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(kBackgroundColor);
    imageInit_ = true;
    outline_ = HasSwitch("debug") ? kDebugOutlineColor : kOutlineColor;
    if (!image_.isNull()) emit imageChanged(image_.rect());
    return true;
}

void TTreemapPainter::DiskTreeMap_UpdateScreen() {
    std::lock_guard lock(model_.csTreemap);
    if (!model_.DiskTreeMapEntries.Empty()) DiskTreeMap_UpdateGraphFor(model_.Root(), false, true);
}

void TTreemapPainter::DiskTreeMap_UpdateGraphFor(TDiskTreeMapEntry* thisEntry, bool highlight, bool acquire) {
    if (!thisEntry) return;
    std::unique_lock lock(model_.csTreemap, std::defer_lock);
    if (acquire) lock.lock();
    if (model_.DiskTreeMapEntries.Empty() || image_.isNull()) return;
    if (painter_) {
        // Called from within a pass (an icon source that redraws): the
        // running pass paints it.
        DrawNode(thisEntry, highlight);
        return;
    }
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter_ = &painter;
    dirty_ = QRect();
    corrupt_ = false;
    inverted_ = false;
    DrawNode(thisEntry, highlight);
    painter_ = nullptr;
    painter.end();
    const QRect changed = dirty_ & image_.rect();
    if (!changed.isEmpty()) emit imageChanged(changed);
    // Reported once per pass and after it, so that a box shown while
    // drawing never meets a half-painted image, and a stale tree does not
    // raise one box per node.
    if (corrupt_) ShowInfo("Graph calculated values are corrupt");
    if (inverted_) Notify("(r.Left > r.Right) or (r.Top > r.Bottom)");
}

void TTreemapPainter::DrawNode(TDiskTreeMapEntry* node, bool highlight) {
    if (!showFiles_ && IsFileNode(*node)) return;
    TBoxInfo* box = node->_BoxInfo.get();
    if (!box) return;
    box->_Highlighed = highlight;
    box->_BackColor = TreemapLevelColor(folderColors_, node->_Level);

    const TRect& abs = box->_AbsRect;
    if (abs.Right <= abs.Left || abs.Bottom <= abs.Top) return;
    if (abs.Left > view_.right || abs.Top > view_.bottom || abs.Right < view_.left || abs.Bottom < view_.top) return;
    const TDiskTreeMapEntry* parent = node->ParentNodeIdx;
    if (parent && parent->_BoxInfo && !InsideOf(abs, parent->_BoxInfo->_AbsRect)) {
        corrupt_ = true;
        return;
    }

    const std::int64_t dx = TruncToInt64(view_.left), dy = TruncToInt64(view_.top);
    TSurfaceRect r{ClampCoordinate(abs.Left - dx), ClampCoordinate(abs.Top - dy), ClampCoordinate(abs.Right - dx),
                   ClampCoordinate(abs.Bottom - dy)};
    const QRect boxRect = ToQRect(r.Left, r.Top, r.Right, r.Bottom);
    QPainter& p = *painter_;
    const bool isRoot = node->EntryType == EntryType_Root;
    const bool isFile = IsFileNode(*node);

    QRgb fill = box->_BackColor;
    QRgb textColor = kWhite;  // of a file's caption
    if (isRoot) {
        p.fillRect(image_.rect(), QColor::fromRgb(fill));
        dirty_ = image_.rect();
    }
    if (r.Left > r.Right || r.Top > r.Bottom) {
        inverted_ = true;
    } else {
        if (isFile) {
            if (node == selectedFile_) {
                fill = kSelectedFileColor;
            } else if (node->_SearchResult) {
                fill = kSearchResultColor;
            } else {
                fill = kFileColor;
                textColor = kBlack;
            }
        }
        // A rectangle of the outline colour with the fill inside it: the
        // outline takes the outermost pixels, right and bottom included.
        p.fillRect(boxRect, QColor::fromRgb(outline_));
        if (boxRect.width() > 2 && boxRect.height() > 2)
            p.fillRect(boxRect.adjusted(1, 1, -1, -1), QColor::fromRgb(fill));
        if (!isFile && node == selectedFolder_) {
            const QColor navy = QColor::fromRgb(kSelectedFolderColor);
            const int w = boxRect.width(), h = boxRect.height();
            p.fillRect(QRect(boxRect.left(), boxRect.top(), w, std::min(2, h)), navy);
            p.fillRect(QRect(boxRect.left(), boxRect.bottom() - 1, w, std::min(2, h)), navy);
            p.fillRect(QRect(boxRect.left(), boxRect.top(), std::min(2, w), h), navy);
            p.fillRect(QRect(boxRect.right() - 1, boxRect.top(), std::min(2, w), h), navy);
        }
        dirty_ |= boxRect;
    }

    if (box->_PixelsW > 15 && box->_PixelsH > 35) {
        // A box reaching past the surface's left or top edge keeps its
        // caption in sight.
        r.Left = std::max(r.Left, 0);
        r.Top = std::max(r.Top, 0);
        if (isFile) {
            if (!DrawFileCaption(*node, r, boxRect, textColor)) return;
        } else {
            DrawFolderCaption(*node, r, boxRect);
        }
    }

    for (TDiskTreeMapEntry* child : node->ChildrenEntries) DrawNode(child, highlight);
}

void TTreemapPainter::DrawFolderCaption(const TDiskTreeMapEntry& node, TSurfaceRect r, const QRect& box) {
    if (r.Left < r.Right) DrawIcon(&folderIcon_, nullptr, r.Left + 2, r.Top - 1, box);
    r.Left += 20;
    r.Top += 1;
    r.Right -= 2;
    r.Bottom -= 2;
    if (r.Empty()) return;
    painter_->setPen(QColor::fromRgb(kWhite));
    text_ = QString::fromStdString(node.Name);
    text_ += u", ";
    text_ += QString::fromStdString(FormatBytes(node.SizeTotal));
    DrawTextLine(text_, r);
}

bool TTreemapPainter::DrawFileCaption(const TDiskTreeMapEntry& node, TSurfaceRect r, const QRect& box, QRgb textColor) {
    // Asked before the name is laid out: whatever the source does, the
    // layout in hand stays this node's.
    QPixmap icon;
    if (iconSource_) {
        try {
            icon = iconSource_(GetNodeFullPath(model_, &node));
        } catch (...) {
            return false;
        }
    }
    QPainter& p = *painter_;
    const int initialBottom = r.Bottom;
    // The name is laid out once, at the width it is drawn in, so that the
    // measured block holds every line it wraps into.
    QString name = QString::fromStdString(node.Name);
    name.replace(u'\n', QChar::LineSeparator);
    nameLayout_.setText(name);
    nameLayout_.beginLayout();
    const int nameWidth = std::max(1, (r.Right - 2) - (r.Left + 20));
    const qreal leading = metrics_.leading();
    qreal layoutHeight = -leading;
    for (QTextLine line = nameLayout_.createLine(); line.isValid(); line = nameLayout_.createLine()) {
        line.setLineWidth(nameWidth);
        layoutHeight = std::ceil(layoutHeight + leading);
        line.setPosition(QPointF(0, layoutHeight));
        layoutHeight += line.height();
    }
    nameLayout_.endLayout();

    const int height = r.Bottom - r.Top;
    const int nameH = std::max(0, std::min(static_cast<int>(std::ceil(layoutHeight)), height - 20));
    const int sdH = std::max(0, std::min(sizeDateHeight_, height - 20 - nameH));
    r.Top += height / 2 - (nameH + sdH) / 2;

    if (!icon.isNull() && r.Left < r.Right) DrawIcon(nullptr, &icon, r.Left + 2, r.Top - 1, box);

    r.Left += 20;
    r.Right -= 2;
    r.Bottom = r.Top + nameH + 1;
    p.setPen(QColor::fromRgb(textColor));
    if (!r.Empty()) {
        p.setClipRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom));
        nameLayout_.draw(&p, QPointF(r.Left, r.Top));
        p.setClipping(false);
    }
    if (sdH > 10) {
        r.Top = r.Bottom + 2;
        r.Bottom = r.Top + 20;
        if (r.Bottom < initialBottom && !r.Empty()) {
            text_ = QString::fromStdString(FormatBytes(node.SizeTotal));
            DrawTextLine(text_, r);
        }
        r.Top += 16;
        r.Bottom = r.Top + 20;
        if (r.Bottom < initialBottom && !r.Empty()) DrawTextLine(dateTexts_.Text(node.DateM), r);
    }
    return true;
}

void TTreemapPainter::DrawIcon(const QImage* image, const QPixmap* pixmap, int x, int y, const QRect& box) {
    const QRect target = QRect(x, y, kIconSize, kIconSize) & box;
    if (target.isEmpty()) return;
    if (image) {
        painter_->drawImage(target, *image, target.translated(-x, -y));
        return;
    }
    // Icons may come in any size; they are shown at 16 x 16.
    const double sx = pixmap->width() / double(kIconSize), sy = pixmap->height() / double(kIconSize);
    const QRectF source((target.left() - x) * sx, (target.top() - y) * sy, target.width() * sx, target.height() * sy);
    painter_->drawPixmap(QRectF(target), *pixmap, source);
}

void TTreemapPainter::DrawTextLine(const QString& text, const TSurfaceRect& r) {
    // One line from the top left of r, cut off at its edges. Plain drawText
    // shows "&" as it is.
    QPainter& p = *painter_;
    p.setClipRect(ToQRect(r.Left, r.Top, r.Right, r.Bottom));
    p.drawText(QPoint(r.Left, r.Top + metrics_.ascent()), text);
    p.setClipping(false);
}

}  // namespace tandrel
