#pragma once
// The floating "Save Snapshot" panel: keeps the last scan's temporary
// snapshot under a name of the user's, with an optional comment.
#include "gui/widgets/caption_panel.h"

class QLineEdit;
class QPushButton;

namespace tandrel {

class TFormMain;

class TSaveSnapshotPanel : public TCaptionPanelK {
    Q_OBJECT
public:
    explicit TSaveSnapshotPanel(TFormMain& main);

    // Opens the panel for the current temporary snapshot (nothing without one).
    void bTreeMap_SaveAsSnapshotClick();
    // Saves under the shown name, with the comment worked in.
    void btnSaveSnapshotNowClick();
    void btnSaveSnapshotCancelClick();

    QLineEdit* Edit1 = nullptr;
    QLineEdit* edSaveSnapshotComment = nullptr;
    QPushButton* btnSaveSnapshotNow = nullptr;
    QPushButton* btnSaveSnapshotCancel = nullptr;

signals:
    // The temporary snapshot was kept: there is nothing left to save.
    void Saved();

private:
    TFormMain& main_;
};

}  // namespace tandrel
