#pragma once
// The floating "Tandrel settings" panel with its four pages: the treemap
// switches, the file-manager entry, the duplicate finder's limits and
// comparison cache, and the external comparison program.
#include <functional>

#include "gui/widgets/caption_panel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace tandrel {

class TFormMain;
class TRadioGroup;

class TSettingsPanel : public TCaptionPanelK {
    Q_OBJECT
public:
    explicit TSettingsPanel(TFormMain& main);

    // "Treemap", "Shell options", "Duplicate Files" or "External apps".
    void SelectPage(const QString& caption);
    // Re-reads whether the file-manager entry is registered.
    void QueryShellStatus();
    // Called after "Register" or "Unregister" (the window starts re-reading the state).
    std::function<void()> OnRegistrationChanged;

    bool IncludeFreeSpace() const;
    bool MonitorChanges() const;
    bool ShowDynamicMenu() const;
    bool HardLinksOnce() const;

    QTabWidget* pages = nullptr;
    QCheckBox* cbIncludeFreeSpace = nullptr;
    QCheckBox* cbAutoUpdateTreemap = nullptr;
    TRadioGroup* rgFolderColors = nullptr;
    QCheckBox* cbMonitorChanges = nullptr;
    QCheckBox* cbShowDynamicMenu = nullptr;
    QCheckBox* cbHardLinksOnce = nullptr;
    QLabel* lblShellStatusRegistered = nullptr;
    QLabel* lblShellStatusUnregistered = nullptr;
    QSpinBox* edDuplicatesMinSize = nullptr;
    QComboBox* cbDuplicatesMinSizeUnit = nullptr;
    QRadioButton* rbThoroughComparison = nullptr;
    QLineEdit* edWinMergePath = nullptr;
    QPushButton* bCloseSettings = nullptr;

signals:
    // The panel was closed by its caption button or "Close".
    void Closed();
    void ShowDynamicMenuChanged(bool on);
    // The colour scheme changed: the treemap redraws.
    void FolderColorsChanged(int index);

private:
    void panelSettingsButtonClick();
};

}  // namespace tandrel
