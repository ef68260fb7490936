#include "gui/widgets/elided_label.h"

#include <QStringList>
#include <algorithm>

namespace tandrel {

namespace {

QStringList LinesOf(const QString& text) {
    QString plain = text;
    plain.replace("\r\n", "\n");
    plain.replace('\r', '\n');
    return plain.split('\n');
}

}  // namespace

TElidedLabel::TElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    SetFullText(text);
}

void TElidedLabel::SetFullText(const QString& text) {
    if (text == fullText_) return;
    fullText_ = text;
    setToolTip(text);
    setAccessibleName(text);
    Elide();
    updateGeometry();
}

QSize TElidedLabel::minimumSizeHint() const {
    const int lines = static_cast<int>(LinesOf(fullText_).size());
    const QMargins m = contentsMargins();
    return {fontMetrics().averageCharWidth() * 8 + m.left() + m.right(),
            fontMetrics().lineSpacing() * lines + m.top() + m.bottom()};
}

QSize TElidedLabel::sizeHint() const {
    int width = 0;
    for (const QString& line : LinesOf(fullText_)) width = std::max(width, fontMetrics().horizontalAdvance(line));
    // Wide enough for most paths, never so wide that a long one stretches the window.
    width = std::min(width, fontMetrics().averageCharWidth() * 60);
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), minimumSizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    Elide();
}

void TElidedLabel::Elide() {
    QStringList lines = LinesOf(fullText_);
    // Until it is shown the label has no width of its own to fit.
    if (isVisible())
        for (QString& line : lines)
            line = fontMetrics().elidedText(line, Qt::ElideMiddle, std::max(contentsRect().width(), 1));
    QLabel::setText(lines.join('\n'));
}

}  // namespace tandrel
