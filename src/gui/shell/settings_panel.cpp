#include "gui/shell/settings_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "compare/compare_cache.h"
#include "gui/shell/main_window.h"
#include "gui/shell/shell_registration.h"
#include "gui/widgets/radio_group.h"

namespace tandrel {

TSettingsPanel::TSettingsPanel(TFormMain& main) : TCaptionPanelK("Tandrel settings", &main) {
    setObjectName("panelSettings");
    pages = new QTabWidget(this);
    pages->setObjectName("pcSettings");
    Body()->addWidget(pages, 1);

    // Treemap
    auto* treemap = new QWidget(pages);
    auto* treemapLayout = new QVBoxLayout(treemap);
    cbIncludeFreeSpace = new QCheckBox("Include Free Space", treemap);
    cbIncludeFreeSpace->setObjectName("cbIncludeFreeSpace");
    cbIncludeFreeSpace->setChecked(true);
    cbAutoUpdateTreemap = new QCheckBox("Auto-update treemap", treemap);
    cbAutoUpdateTreemap->setObjectName("cbAutoUpdateTreemap");
    cbAutoUpdateTreemap->setChecked(true);
    rgFolderColors = new TRadioGroup(treemap);
    rgFolderColors->setObjectName("rgFolderColors");
    rgFolderColors->setTitle("Folder colors");
    rgFolderColors->setItems({"Default colors", "Velmora colors"});
    rgFolderColors->setItemIndex(0);
    cbMonitorChanges = new QCheckBox("Monitor changes (experimental)", treemap);
    cbMonitorChanges->setObjectName("cbMonitorChanges");
    cbShowDynamicMenu = new QCheckBox("Show navigation menu", treemap);
    cbShowDynamicMenu->setObjectName("cbShowDynamicMenu");
    // Off by default: the totals then match the sum of every name's size.
    cbHardLinksOnce = new QCheckBox("Count hard links once", treemap);
    cbHardLinksOnce->setObjectName("cbHardLinksOnce");
    cbHardLinksOnce->setAccessibleName("Count hard links once");
    cbHardLinksOnce->setToolTip("A file with several names adds its size to the scan totals only once");
    for (QWidget* w : std::initializer_list<QWidget*>{cbIncludeFreeSpace, cbAutoUpdateTreemap, rgFolderColors,
                                                      cbMonitorChanges, cbShowDynamicMenu, cbHardLinksOnce})
        treemapLayout->addWidget(w);
    treemapLayout->addStretch(1);
    pages->addTab(treemap, "Treemap");
    connect(rgFolderColors, &TRadioGroup::itemIndexChanged, this, &TSettingsPanel::FolderColorsChanged);
    connect(cbShowDynamicMenu, &QCheckBox::toggled, this, &TSettingsPanel::ShowDynamicMenuChanged);

    // Shell options
    auto* shell = new QWidget(pages);
    auto* shellLayout = new QVBoxLayout(shell);
    auto* handlers = new QGroupBox("Context menu handlers", shell);
    auto* handlersLayout = new QHBoxLayout(handlers);
    handlersLayout->addWidget(new QLabel("Status:", handlers));
    lblShellStatusRegistered = new QLabel("Registered", handlers);
    lblShellStatusRegistered->setObjectName("lblShellStatusRegistered");
    lblShellStatusUnregistered = new QLabel("Unregistered", handlers);
    lblShellStatusUnregistered->setObjectName("lblShellStatusUnregistered");
    handlersLayout->addWidget(lblShellStatusRegistered);
    handlersLayout->addWidget(lblShellStatusUnregistered);
    handlersLayout->addStretch(1);
    auto* registerLink = new QPushButton("Register", handlers);
    registerLink->setObjectName("lnkShellRegister");
    registerLink->setFlat(true);
    auto* unregisterLink = new QPushButton("Unregister", handlers);
    unregisterLink->setObjectName("lnkShellUnregister");
    unregisterLink->setFlat(true);
    auto* query = new QPushButton("Query", handlers);
    query->setObjectName("bShellQuery");
    handlersLayout->addWidget(registerLink);
    handlersLayout->addWidget(unregisterLink);
    handlersLayout->addWidget(query);
    shellLayout->addWidget(handlers);
    shellLayout->addStretch(1);
    pages->addTab(shell, "Shell options");
    connect(query, &QPushButton::clicked, this, &TSettingsPanel::QueryShellStatus);
    connect(registerLink, &QPushButton::clicked, this, [this] {
        RegisterContextMenu();
        QueryShellStatus();
        if (OnRegistrationChanged) OnRegistrationChanged();
    });
    connect(unregisterLink, &QPushButton::clicked, this, [this] {
        UnregisterContextMenu();
        QueryShellStatus();
        if (OnRegistrationChanged) OnRegistrationChanged();
    });

    // Duplicate Files
    auto* duplicates = new QWidget(pages);
    auto* duplicatesLayout = new QVBoxLayout(duplicates);
    auto* minimum = new QHBoxLayout;
    minimum->addWidget(new QLabel("Skip files that are less than:", duplicates));
    edDuplicatesMinSize = new QSpinBox(duplicates);
    edDuplicatesMinSize->setObjectName("edDuplicatesMinSize");
    edDuplicatesMinSize->setRange(0, 1 << 30);
    edDuplicatesMinSize->setValue(5);
    cbDuplicatesMinSizeUnit = new QComboBox(duplicates);
    cbDuplicatesMinSizeUnit->setObjectName("cbDuplicatesMinSizeUnit");
    cbDuplicatesMinSizeUnit->addItems({"bytes", "KB", "MB", "GB"});
    cbDuplicatesMinSizeUnit->setCurrentIndex(2);
    cbDuplicatesMinSizeUnit->setEnabled(false);
    minimum->addWidget(edDuplicatesMinSize);
    minimum->addWidget(cbDuplicatesMinSizeUnit);
    minimum->addStretch(1);
    duplicatesLayout->addLayout(minimum);
    auto* method = new QGroupBox("Comparison method", duplicates);
    auto* methodLayout = new QVBoxLayout(method);
    rbThoroughComparison = new QRadioButton("Thorough (entire file contents)", method);
    rbThoroughComparison->setObjectName("rbThoroughComparison");
    rbThoroughComparison->setChecked(true);
    methodLayout->addWidget(rbThoroughComparison);
    duplicatesLayout->addWidget(method);
    auto* clearCache = new QPushButton("Clear comparison cache", duplicates);
    clearCache->setObjectName("bClearComparisonCache");
    duplicatesLayout->addWidget(clearCache, 0, Qt::AlignLeft);
    duplicatesLayout->addStretch(1);
    pages->addTab(duplicates, "Duplicate Files");
    connect(rbThoroughComparison, &QRadioButton::toggled, this, [](bool on) {
        if (on) ComparisonCache().SelectThoroughMethod();
    });
    connect(clearCache, &QPushButton::clicked, this, [] { ClearComparisonCache(); });
    main.RegisterSizeUnitEdit(edDuplicatesMinSize, cbDuplicatesMinSizeUnit);

    // External apps
    auto* external = new QWidget(pages);
    auto* externalLayout = new QFormLayout(external);
    edWinMergePath = new QLineEdit("meld", external);
    edWinMergePath->setObjectName("edWinMergePath");
    externalLayout->addRow("WinMerge Path:", edWinMergePath);
    pages->addTab(external, "External apps");

    bCloseSettings = new QPushButton("Close", this);
    bCloseSettings->setObjectName("bCloseSettings");
    Body()->addWidget(bCloseSettings, 0, Qt::AlignRight);
    connect(bCloseSettings, &QPushButton::clicked, this, &TSettingsPanel::panelSettingsButtonClick);
    OnCaptionButton = [this] { panelSettingsButtonClick(); };
    resize(460, 300);
}

void TSettingsPanel::SelectPage(const QString& caption) {
    for (int i = 0; i < pages->count(); ++i)
        if (pages->tabText(i) == caption) pages->setCurrentIndex(i);
}

void TSettingsPanel::QueryShellStatus() {
    const bool registered = IsContextMenuRegistered();
    lblShellStatusRegistered->setVisible(registered);
    lblShellStatusUnregistered->setVisible(!registered);
}

bool TSettingsPanel::IncludeFreeSpace() const { return cbIncludeFreeSpace->isChecked(); }
bool TSettingsPanel::MonitorChanges() const { return cbMonitorChanges->isChecked(); }
bool TSettingsPanel::ShowDynamicMenu() const { return cbShowDynamicMenu->isChecked(); }
bool TSettingsPanel::HardLinksOnce() const { return cbHardLinksOnce->isChecked(); }

void TSettingsPanel::panelSettingsButtonClick() {
    hide();
    emit Closed();
}

}  // namespace tandrel
