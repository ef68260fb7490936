#pragma once
// A status label for texts that hold long paths: each line is shortened in
// the middle to the label's width, so the start of a path and its file name
// stay visible and no line is wrapped or cut off. The full text stays the
// label's tooltip and accessible name.
#include <QLabel>
#include <QString>

namespace tandrel {

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    // The text to show; lines are split at "\n" (a "\r" before it is dropped).
    void SetFullText(const QString& text);
    const QString& FullText() const { return fullText_; }

    // As narrow as a few characters, as high as every line: the label never
    // forces its window wider, and never loses a line.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Elide();

    QString fullText_;
};

}  // namespace tandrel
