#include "gui/shell/save_snapshot_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/files.h"
#include "common/paths.h"
#include "common/strings.h"
#include "gui/shell/main_window.h"
#include "scan/scan_model.h"
#include "scan/snapshot_store.h"

namespace tandrel {

TSaveSnapshotPanel::TSaveSnapshotPanel(TFormMain& main) : TCaptionPanelK("Save Snapshot", &main), main_(main) {
    setObjectName("panelSaveSnapshot");
    Body()->addWidget(new QLabel("This will save the current snapshot as", this));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Edit1->setMinimumWidth(380);
    Body()->addWidget(Edit1);
    Body()->addWidget(new QLabel("Comments: (optional)", this));
    edSaveSnapshotComment = new QLineEdit(this);
    edSaveSnapshotComment->setObjectName("edSaveSnapshotComment");
    Body()->addWidget(edSaveSnapshotComment);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnSaveSnapshotNow = new QPushButton("Save", this);
    btnSaveSnapshotNow->setObjectName("btnSaveSnapshotNow");
    btnSaveSnapshotCancel = new QPushButton("Cancel", this);
    btnSaveSnapshotCancel->setObjectName("btnSaveSnapshotCancel");
    buttons->addWidget(btnSaveSnapshotNow);
    buttons->addWidget(btnSaveSnapshotCancel);
    Body()->addLayout(buttons);
    connect(btnSaveSnapshotNow, &QPushButton::clicked, this, &TSaveSnapshotPanel::btnSaveSnapshotNowClick);
    connect(btnSaveSnapshotCancel, &QPushButton::clicked, this, &TSaveSnapshotPanel::btnSaveSnapshotCancelClick);
    connect(edSaveSnapshotComment, &QLineEdit::returnPressed, this, &TSaveSnapshotPanel::btnSaveSnapshotNowClick);
}

void TSaveSnapshotPanel::bTreeMap_SaveAsSnapshotClick() {
    const std::string temp = main_.Model().TempSnapshotFn;
    if (temp.empty()) return;
    Edit1->setText(QString::fromStdString(ReplaceAll(ExtractFileName(temp), ".temp_snapshot", ".snapshot")));
    ShowCentred();
    edSaveSnapshotComment->setFocus();
}

void TSaveSnapshotPanel::btnSaveSnapshotNowClick() {
    std::string name = Edit1->text().toStdString();
    const std::string comment = Trim(edSaveSnapshotComment->text().toStdString());
    if (!comment.empty()) name = ReplaceAll(name, ".snapshot", " - " + MakeFileNameSafe(comment) + ".snapshot");
    if (SaveSnapshot(main_.Model(), name, false)) {
        hide();
        emit Saved();
    }
}

void TSaveSnapshotPanel::btnSaveSnapshotCancelClick() { hide(); }

}  // namespace tandrel
