#pragma once
// A panel that floats over the main window: a caption bar with a title and a
// close button, and a body for its controls. It can be dragged by its
// caption and stays inside its parent.
#include <QFrame>
#include <QPoint>
#include <functional>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace tandrel {

class TCaptionPanelK : public QFrame {
    Q_OBJECT
public:
    TCaptionPanelK(const QString& caption, QWidget* parent);

    QVBoxLayout* Body() const { return body_; }
    // The caption bar's text.
    void SetCaption(const QString& caption);
    QString Caption() const;
    // Called by the caption's close button instead of hiding, when set.
    std::function<void()> OnCaptionButton;

    // Shows the panel in front of its siblings, centred in the parent when
    // it was hidden.
    void ShowCentred();
    // Keeps the panel inside its parent after the parent was resized.
    void KeepInsideParent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* caption_;
    QToolButton* close_;
    QVBoxLayout* body_;
    QPoint dragOffset_;
    bool dragging_ = false;
};

}  // namespace tandrel
