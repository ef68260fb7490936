#include "gui/shell/settings_store.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "common/app_folders.h"
#include "common/files.h"
#include "common/retry.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;

const std::string kBom = "\xEF\xBB\xBF";

// A top-level window holding one control of each kind the main window
// persists, named like the real ones, with the main window's defaults.
struct TestWindow {
    TestWindow() : window(std::make_unique<QWidget>()) {
        window->setObjectName("FormMain");
        auto* cache = new QWidget(window.get());  // the controls sit one level down, as on the real pages
        cache->setObjectName("tsSettingsCache");
        edLeftCompareDirectory = Named<QLineEdit>(cache, "edLeftCompareDirectory");
        edCompareFilter = Named<QLineEdit>(cache, "edCompareFilter");
        edCompareFilter->setText("*.*");
        edCompareVolumes1 = Named<QLineEdit>(cache, "edCompareVolumes1");
        cbDestination = Named<QComboBox>(cache, "cbDestination");
        cbDestination->setEditable(true);
        cbSizeUnit = Named<QComboBox>(cache, "cbSizeUnit");
        cbSizeUnit->addItems({"bytes", "KB", "MB", "GB"});
        cbSizeUnit->setCurrentIndex(2);
        rgFolderColors = Named<TRadioGroup>(cache, "rgFolderColors");
        rgFolderColors->setItems({"Default colors", "Velmora colors"});
        rgFolderColors->setItemIndex(0);
        cbAutoUpdateTreemap = Named<QCheckBox>(cache, "cbAutoUpdateTreemap");
        cbAutoUpdateTreemap->setChecked(true);
        lbHistory = Named<QListWidget>(cache, "lbHistory");
        edDuplicatesMinSize = Named<QSpinBox>(cache, "edDuplicatesMinSize");
        edDuplicatesMinSize->setRange(0, 1000000);
        edDuplicatesMinSize->setValue(5);
        edSquareFactor = Named<QDoubleSpinBox>(cache, "edSquareFactor");
        edSquareFactor->setDecimals(3);
        edErrorLog = Named<QPlainTextEdit>(cache, "edErrorLog");
        edNotes = Named<QTextEdit>(cache, "edNotes");
        edReferenceDate = Named<QDateTimeEdit>(cache, "edReferenceDate");
        edReferenceDate->setDisplayFormat("yyyy-MM-dd hh:mm:ss.zzz");
        lvSearchResults = Named<QTreeWidget>(cache, "lvSearchResults");
        lvSearchResults->setColumnCount(3);
        lvSearchResults->header()->setStretchLastSection(false);
        panelSearchResults = Named<QWidget>(window.get(), "panelSearchResults");
        panelSearchResults->setGeometry(40, 156, 240, 41);
        window->resize(400, 300);
    }

    template <typename T>
    static T* Named(QWidget* parent, const char* name) {
        auto* control = new T(parent);
        control->setObjectName(name);
        return control;
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* edLeftCompareDirectory;
    QLineEdit* edCompareFilter;
    QLineEdit* edCompareVolumes1;
    QComboBox* cbDestination;
    QComboBox* cbSizeUnit;
    TRadioGroup* rgFolderColors;
    QCheckBox* cbAutoUpdateTreemap;
    QListWidget* lbHistory;
    QSpinBox* edDuplicatesMinSize;
    QDoubleSpinBox* edSquareFactor;
    QPlainTextEdit* edErrorLog;
    QTextEdit* edNotes;
    QDateTimeEdit* edReferenceDate;
    QTreeWidget* lvSearchResults;
    QWidget* panelSearchResults;
};

const TStringList kEveryKind = {
    "edLeftCompareDirectory.Text",
    "edCompareFilter.Text",
    "cbDestination.Text",
    "cbDestination.Items",
    "cbSizeUnit.ItemIndex",
    "rgFolderColors.ItemIndex",
    "cbAutoUpdateTreemap.Checked",
    "lbHistory.Items",
    "lbHistory.ItemIndex",
    "edDuplicatesMinSize.Value",
    "edSquareFactor.Value",
    "edErrorLog.Lines",
    "edNotes.Lines",
    "edReferenceDate.Date",
    "lvSearchResults.Items",
    "lvSearchResults.Columns",
    "panelSearchResults.Left",
    "panelSearchResults.Top",
    "panelSearchResults.Width",
    "panelSearchResults.Height",
};

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_hooks::SetRetrySleep([](int) {});
        base = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override {
        test_hooks::SetRetrySleep({});
        platform::test_hooks::DenyAccessBelow("");
    }

    TBrenixProject* StoreOn(TestWindow& w, const TStringList& entries = kEveryKind) {
        auto* store = new TBrenixProject(w.window.get(), base);
        store->PropertiesList = entries;
        return store;
    }
    std::string SettingsPath() const { return AppSettingsFolder() + base + ".ini"; }
    std::string SessionPath() const { return AppSettingsFolder() + base + ".Session.ini"; }
    static QRect WorkArea(const TestWindow& w) { return w.window->screen()->availableGeometry(); }
    // The platform keeps the window frame on the screen, so the inner
    // rectangle may be shifted by the frame's width.
    static void ExpectFillsWorkArea(const TestWindow& w) {
        EXPECT_EQ(w.window->frameGeometry().topLeft(), WorkArea(w).topLeft());
        EXPECT_EQ(w.window->geometry().size(), WorkArea(w).size());
    }

    RecordingMessages messages;
    std::string base;
};

TEST_F(SettingsStoreTest, EveryPropertyKindRoundTrips) {
    TestWindow first;
    TBrenixProject* store = StoreOn(first);
    int defaults = 0, loads = 0;
    store->OnSetProjectDefaultValues = [&] { ++defaults; };
    store->OnProjectLoad = [&] { ++loads; };
    first.window->show();
    EXPECT_EQ(store->ProjectFn, SettingsPath());
    EXPECT_EQ(store->ProjectName, base);
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(loads, 1);

    first.edLeftCompareDirectory->setText("/home/ann/left dir");
    first.edCompareFilter->setText("*.cpp; *.h");
    first.cbDestination->addItems({"/mnt/a", "/mnt/b"});
    first.cbDestination->setEditText("/typed/in");
    first.cbSizeUnit->setCurrentIndex(3);
    first.rgFolderColors->setItemIndex(1);
    first.cbAutoUpdateTreemap->setChecked(false);
    first.lbHistory->addItems({"/backup/one", "", "/backup/two"});
    first.lbHistory->setCurrentRow(2);
    first.edDuplicatesMinSize->setValue(4096);
    first.edSquareFactor->setValue(2.375);
    first.edErrorLog->setPlainText("first\n\n  indented\nlast");
    first.edNotes->setPlainText("a\nb");
    first.edReferenceDate->setDateTime(QDateTime(QDate(2024, 1, 31), QTime(13, 45, 12, 345)));
    auto* row = new QTreeWidgetItem(first.lvSearchResults, QStringList{"big.iso", "4 GB", "/data"});
    row->setCheckState(0, Qt::Checked);
    auto* plain = new QTreeWidgetItem(first.lvSearchResults, QStringList{"small.txt"});
    plain->setCheckState(0, Qt::Unchecked);
    first.lvSearchResults->header()->resizeSection(0, 120);
    first.lvSearchResults->header()->resizeSection(1, 80);
    first.lvSearchResults->header()->resizeSection(2, 60);
    first.panelSearchResults->setGeometry(11, 22, 333, 44);
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();

    const std::string bytes = ReadBytes(SettingsPath());
    EXPECT_NE(bytes.find("[edDuplicatesMinSize.Value]\r\n4096.00000\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[edSquareFactor.Value]\r\n2.37500\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[edReferenceDate.Date]\r\n2024-01-31 13:45:12.345\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[lvSearchResults.Items]\r\n><checked>1<caption>big.iso<FF>4 GB<FF>/data\r\n"
                         "><checked>0<caption>small.txt\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("[lvSearchResults.Columns]\r\n120,80,60\r\n"), std::string::npos);

    TestWindow second;
    int toggles = 0;
    QObject::connect(second.cbAutoUpdateTreemap, &QCheckBox::toggled, [&] { ++toggles; });
    TBrenixProject* reader = StoreOn(second);
    int secondDefaults = 0;
    reader->OnSetProjectDefaultValues = [&] { ++secondDefaults; };
    second.window->show();
    EXPECT_EQ(secondDefaults, 0);
    EXPECT_EQ(second.edLeftCompareDirectory->text(), "/home/ann/left dir");
    EXPECT_EQ(second.edCompareFilter->text(), "*.cpp; *.h");
    EXPECT_EQ(second.cbDestination->currentText(), "/typed/in");
    EXPECT_EQ(second.cbDestination->count(), 2);
    EXPECT_EQ(second.cbDestination->itemText(1), "/mnt/b");
    EXPECT_EQ(second.cbSizeUnit->currentIndex(), 3);
    EXPECT_EQ(second.rgFolderColors->itemIndex(), 1);
    EXPECT_FALSE(second.cbAutoUpdateTreemap->isChecked());
    EXPECT_EQ(toggles, 0);
    ASSERT_EQ(second.lbHistory->count(), 3);
    EXPECT_EQ(second.lbHistory->item(1)->text(), "");
    EXPECT_EQ(second.lbHistory->item(2)->text(), "/backup/two");
    EXPECT_EQ(second.lbHistory->currentRow(), 2);
    EXPECT_EQ(second.edDuplicatesMinSize->value(), 4096);
    EXPECT_DOUBLE_EQ(second.edSquareFactor->value(), 2.375);
    EXPECT_EQ(second.edErrorLog->toPlainText(), "first\n\n  indented\nlast");
    EXPECT_EQ(second.edNotes->toPlainText(), "a\nb");
    EXPECT_EQ(second.edReferenceDate->dateTime(), QDateTime(QDate(2024, 1, 31), QTime(13, 45, 12, 345)));
    ASSERT_EQ(second.lvSearchResults->topLevelItemCount(), 2);
    EXPECT_EQ(second.lvSearchResults->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(second.lvSearchResults->topLevelItem(0)->text(2), "/data");
    EXPECT_EQ(second.lvSearchResults->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(second.lvSearchResults->topLevelItem(1)->text(0), "small.txt");
    EXPECT_EQ(second.lvSearchResults->header()->sectionSize(0), 120);
    EXPECT_EQ(second.lvSearchResults->header()->sectionSize(2), 60);
    EXPECT_EQ(second.panelSearchResults->geometry(), QRect(11, 22, 333, 44));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, EscapedValuesInTheFileBytes) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text", "edCompareFilter.Text", "edErrorLog.Lines",
                                        "edCompareVolumes1.Text", "lbHistory.Items", "cbSizeUnit.ItemIndex"});
    w.window->show();
    w.edLeftCompareDirectory->setText("[not a header]");
    w.edCompareFilter->setText("  padded  ");
    w.edErrorLog->setPlainText("\n\nfirst\n\n   \nlast\n");
    w.edCompareVolumes1->setText("");
    w.cbSizeUnit->setCurrentIndex(-1);
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_EQ(ReadBytes(SettingsPath()), kBom +
                                             "[edLeftCompareDirectory.Text]\r\n>[not a header]\r\n"
                                             "[edCompareFilter.Text]\r\n>padded\r\n"
                                             "[edErrorLog.Lines]\r\n>first\r\n>\r\n>   \r\n>last\r\n"
                                             "[edCompareVolumes1.Text]\r\n"
                                             "[lbHistory.Items]\r\n"
                                             "[cbSizeUnit.ItemIndex]\r\n-1\r\n");

    TestWindow back;
    back.edCompareVolumes1->setText("default");
    back.lbHistory->addItem("default");
    StoreOn(back, store->PropertiesList);
    back.window->show();
    EXPECT_EQ(back.edLeftCompareDirectory->text(), "[not a header]");
    EXPECT_EQ(back.edCompareFilter->text(), "padded");
    EXPECT_EQ(back.edErrorLog->toPlainText(), "first\n\n   \nlast");
    EXPECT_EQ(back.edCompareVolumes1->text(), "");
    EXPECT_EQ(back.lbHistory->count(), 0);
    EXPECT_EQ(back.cbSizeUnit->currentIndex(), -1);
}

TEST_F(SettingsStoreTest, ValuesReadFromAHandWrittenFile) {
    platform::WriteFileBytes(SettingsPath(), kBom +
                                                 "[edLeftCompareDirectory.Text]\r\n"
                                                 "[rgFolderColors.ItemIndex]\r\n"
                                                 "[cbSizeUnit.ItemIndex]\r\n>two\r\n"
                                                 "[edNotes.Lines]\r\n>notes on edCompareFilter.Text\r\n"
                                                 "[dirEdit_CompareVolumes1.Text]\r\n>/snapshots/a.snapshot\r\n"
                                                 "[edDuplicatesMinSize.Value]\r\n>12,5\r\n"
                                                 "[edSquareFactor.Value]\r\nnot a number\r\n"
                                                 "[edReferenceDate.Date]\r\n2023-07-04T08:09:10\r\n"
                                                 "[panelSearchResults.Width]\r\nwide\r\n"
                                                 "[lvSearchResults.Items]\r\n>old row#1#0\r\n><caption>bare\r\n"
                                                 "[lvSearchResults.Columns]\r\n0,x,77\r\n");
    TestWindow w;
    w.edLeftCompareDirectory->setText("default");
    w.edSquareFactor->setValue(1.5);
    w.lvSearchResults->header()->resizeSection(0, 90);
    w.lvSearchResults->header()->resizeSection(1, 91);
    StoreOn(w, {"edLeftCompareDirectory.Text", "edCompareFilter.Text", "rgFolderColors.ItemIndex",
                "cbSizeUnit.ItemIndex", "edNotes.Lines", "edCompareVolumes1.Text", "edDuplicatesMinSize.Value",
                "edSquareFactor.Value", "edReferenceDate.Date", "panelSearchResults.Width", "panelSearchResults.Height",
                "lvSearchResults.Items", "lvSearchResults.Columns"});
    w.window->show();
    EXPECT_EQ(w.edLeftCompareDirectory->text(), "");  // present but empty
    EXPECT_EQ(w.edCompareFilter->text(), "*.*");      // missing: only named inside another value
    EXPECT_EQ(w.rgFolderColors->itemIndex(), -1);     // empty
    EXPECT_EQ(w.cbSizeUnit->currentIndex(), -1);      // not a number
    EXPECT_EQ(w.edCompareVolumes1->text(), "/snapshots/a.snapshot");
    EXPECT_EQ(w.edDuplicatesMinSize->value(), 13);  // 12.5 rounded
    EXPECT_DOUBLE_EQ(w.edSquareFactor->value(), 0);
    EXPECT_EQ(w.edReferenceDate->dateTime(), QDateTime(QDate(2023, 7, 4), QTime(8, 9, 10)));
    EXPECT_EQ(w.panelSearchResults->width(), 0);
    EXPECT_EQ(w.panelSearchResults->height(), 41);  // missing
    ASSERT_EQ(w.lvSearchResults->topLevelItemCount(), 2);
    EXPECT_EQ(w.lvSearchResults->topLevelItem(0)->text(0), "old row");
    EXPECT_EQ(w.lvSearchResults->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(w.lvSearchResults->topLevelItem(1)->text(0), "bare");
    EXPECT_EQ(w.lvSearchResults->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.lvSearchResults->header()->sectionSize(0), 90);
    EXPECT_EQ(w.lvSearchResults->header()->sectionSize(1), 91);
    EXPECT_EQ(w.lvSearchResults->header()->sectionSize(2), 77);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, BadEntriesReportOnceAndDoNotStopTheOthers) {
    platform::WriteFileBytes(SettingsPath(), kBom +
                                                 "[edNope.Text]\r\n>x\r\n"
                                                 "[edLeftCompareDirectory.Colour]\r\n>red\r\n"
                                                 "[cbAutoUpdateTreemap.Lines]\r\n>y\r\n"
                                                 "[edLeftCompareDirectory.Text]\r\n>/applied\r\n");
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edNope.Text", "", "a.b.c", "noPoint", "edLeftCompareDirectory.Colour",
                                        "cbAutoUpdateTreemap.Lines", "edLeftCompareDirectory.Text"});
    w.window->show();
    const std::vector<std::string> expected = {"Component edNope not found", "Unknown property: Colour",
                                               "Unknown class for object cbAutoUpdateTreemap"};
    EXPECT_EQ(messages.shown, expected);
    EXPECT_EQ(w.edLeftCompareDirectory->text(), "/applied");

    messages.shown.clear();
    w.edLeftCompareDirectory->setText("/saved");
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_EQ(messages.shown, expected);
    EXPECT_EQ(ReadBytes(SettingsPath()), kBom + "[edLeftCompareDirectory.Text]\r\n>/saved\r\n");
}

TEST_F(SettingsStoreTest, SaveEventsAndTheSecondSetUp) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text"});
    std::vector<std::string> events;
    store->OnProjectBeforeSave = [&] {
        events.push_back("before");
        w.edLeftCompareDirectory->setText("/from the view");
    };
    store->OnProjectSave = [&] { events.push_back(platform::FileExists(SettingsPath()) ? "saved" : "not yet"); };
    w.window->show();
    ASSERT_TRUE(store->SaveSettingsX());
    EXPECT_EQ(events, (std::vector<std::string>{"before", "saved"}));
    EXPECT_EQ(ReadBytes(SettingsPath()), kBom + "[edLeftCompareDirectory.Text]\r\n>/from the view\r\n");
    EXPECT_TRUE(messages.shown.empty());

    store->SetupSingleProject();
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"setSingleProjectInitialized"}));
}

TEST_F(SettingsStoreTest, AFailedWriteIsReported) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text"});
    w.window->show();
    store->ProjectFn = AppSettingsFolder() + "missing/folder/settings.ini";
    EXPECT_FALSE(store->SaveProjectX());
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Saving to " + store->ProjectFn + " FAILED"}));
}

TEST_F(SettingsStoreTest, AnUnreadableFileIsNeverReplacedByDefaults) {
    const std::string stored = kBom + "[edLeftCompareDirectory.Text]\r\n>/keep/me\r\n";
    platform::WriteFileBytes(SettingsPath(), stored);
    platform::test_hooks::DenyAccessBelow(SettingsPath());
    TestWindow w;
    w.edLeftCompareDirectory->setText("default");
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text"});
    int defaults = 0;
    store->OnSetProjectDefaultValues = [&] { ++defaults; };
    w.window->show();
    EXPECT_EQ(w.edLeftCompareDirectory->text(), "default");
    EXPECT_EQ(defaults, 0);

    EXPECT_FALSE(store->SaveProjectX());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(SettingsPath()), std::string::npos);
    platform::test_hooks::DenyAccessBelow("");
    EXPECT_EQ(ReadBytes(SettingsPath()), stored);

    // Once the file reads again, its values come back and saving works.
    ASSERT_TRUE(store->ReloadProject());
    EXPECT_EQ(w.edLeftCompareDirectory->text(), "/keep/me");
    w.edLeftCompareDirectory->setText("/changed");
    EXPECT_TRUE(store->SaveProjectX());
    EXPECT_EQ(ReadBytes(SettingsPath()), kBom + "[edLeftCompareDirectory.Text]\r\n>/changed\r\n");
}

TEST_F(SettingsStoreTest, ChangeDetection) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w);
    w.window->show();
    EXPECT_TRUE(store->IsProjectChanged());  // no file yet
    w.lbHistory->addItems({"/one", "/two"});
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_FALSE(store->IsProjectChanged());
    EXPECT_FALSE(store->ProjectModifiedExternally());

    w.edLeftCompareDirectory->setText("/elsewhere");
    EXPECT_TRUE(store->IsProjectChanged());
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_FALSE(store->IsProjectChanged());

    // Reordering a list is a change, even though every line is still there.
    w.lbHistory->insertItem(0, w.lbHistory->takeItem(1));
    EXPECT_TRUE(store->IsProjectChanged());
    ASSERT_TRUE(store->SaveProjectX());
    store->Modified = true;
    EXPECT_TRUE(store->IsProjectChanged());
    store->Modified = false;

    // No intermediate files are left behind.
    EXPECT_TRUE(ListFileNames(DataFolder(), "intermediate-*").empty());

    // Another instance wrote the file: a time ten seconds off counts.
    platform::FileTime written = 0;
    ASSERT_TRUE(platform::GetFileTimes(SettingsPath(), nullptr, &written));
    ASSERT_TRUE(platform::SetLastWriteTime(SettingsPath(), written + 10 * 10'000'000LL));
    EXPECT_TRUE(store->ProjectModifiedExternally());
    ASSERT_TRUE(store->ReloadProject());
    EXPECT_FALSE(store->ProjectModifiedExternally());
}

TEST_F(SettingsStoreTest, NormalGeometryRoundTripsAndValuesAreNotSavedAtClose) {
    TestWindow first;
    StoreOn(first, {"edLeftCompareDirectory.Text"});
    first.window->show();
    first.window->setGeometry(100, 120, 500, 300);
    first.edLeftCompareDirectory->setText("/typed but never saved");
    first.window->close();
    EXPECT_EQ(ReadBytes(SessionPath()), kBom + "[Form Position and Size]\r\n100,120,500,300,Normal\r\n");
    EXPECT_FALSE(platform::FileExists(SettingsPath()));

    TestWindow second;
    StoreOn(second, {"edLeftCompareDirectory.Text"});
    second.window->show();
    EXPECT_EQ(second.window->geometry(), QRect(100, 120, 500, 300));
    EXPECT_FALSE(second.window->isMaximized());
    EXPECT_EQ(second.edLeftCompareDirectory->text(), "");
}

TEST_F(SettingsStoreTest, MaximisedGeometryIsSavedInsideTheWorkAreaAndComesBackMaximised) {
    platform::WriteFileBytes(SessionPath(), kBom + "[Other]\r\n>kept\r\n");
    TestWindow first;
    StoreOn(first);
    first.window->show();
    first.window->showMaximized();
    ASSERT_TRUE(first.window->isMaximized());
    const QRect area = WorkArea(first);
    first.window->close();
    const int inX = area.width() / 16, inY = area.height() / 8;
    const std::string line = std::to_string(area.x() + inX) + "," + std::to_string(area.y() + inY) + "," +
                             std::to_string(area.width() - 2 * inX) + "," + std::to_string(area.height() - 2 * inY) +
                             ",Max";
    EXPECT_EQ(ReadBytes(SessionPath()), kBom + "[Other]\r\n>kept\r\n[Form Position and Size]\r\n" + line + "\r\n");

    TestWindow second;
    StoreOn(second);
    second.window->show();
    EXPECT_TRUE(second.window->isMaximized());
    ExpectFillsWorkArea(second);
}

TEST_F(SettingsStoreTest, WithoutASessionTheWindowFillsTheWorkArea) {
    TestWindow w;
    StoreOn(w);
    w.window->show();
    ExpectFillsWorkArea(w);
    EXPECT_FALSE(w.window->isMaximized());
}

TEST_F(SettingsStoreTest, LegacyGeometryIsMergedIntoTheSessionFileAndDeleted) {
    // The session file of an older version differs in case only.
    const std::string oldCaseSession = AppSettingsFolder() + "legacy_app.session.ini";
    platform::WriteFileBytes(oldCaseSession, kBom + "[Other]\r\n>x\r\n");
    const std::string legacy = AppSettingsFolder() + "legacy_app.positions.ini";
    platform::WriteFileBytes(legacy, "30,40,300,200,Normal\r\n");
    TestWindow w;
    auto* store = new TBrenixProject(w.window.get(), "Legacy_App.EXE");
    store->PropertiesList = {"edLeftCompareDirectory.Text"};
    EXPECT_EQ(store->SessionFile(), AppSettingsFolder() + "Legacy_App.Session.ini");
    EXPECT_EQ(store->SettingsFile(), AppSettingsFolder() + "Legacy_App.ini");
    EXPECT_FALSE(platform::FileExists(legacy));
    EXPECT_FALSE(platform::FileExists(oldCaseSession));
    EXPECT_EQ(ReadBytes(store->SessionFile()),
              kBom + "[Form Position and Size]\r\n30,40,300,200,Normal\r\n[Other]\r\n>x\r\n");
    w.window->show();
    EXPECT_EQ(w.window->geometry(), QRect(30, 40, 300, 200));
}

TEST_F(SettingsStoreTest, AnUnreadableLegacyFileStaysUntilItCanBeMerged) {
    const std::string legacy = AppSettingsFolder() + platform::LowerCase(base) + ".positions.ini";
    platform::WriteFileBytes(legacy, "30,40,300,200,Normal\r\n");
    platform::test_hooks::DenyAccessBelow(legacy);
    TestWindow w;
    StoreOn(w);
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"ReadFromFile_s_5x failed: " + legacy}));
    EXPECT_TRUE(platform::FileExists(legacy));
    EXPECT_FALSE(platform::FileExists(SessionPath()));
}

TEST_F(SettingsStoreTest, AWindowClosedBeforeItWasShownKeepsTheStoredGeometry) {
    const std::string session = kBom + "[Form Position and Size]\r\n10,20,300,200,Normal\r\n";
    platform::WriteFileBytes(SessionPath(), session);
    TestWindow w;
    StoreOn(w);
    w.window->close();
    EXPECT_EQ(ReadBytes(SessionPath()), session);
}

TEST_F(SettingsStoreTest, OpenProjectTakesANameInsideTheSettingsFolder) {
    platform::WriteFileBytes(AppSettingsFolder() + "profile_two.ini",
                             kBom + "[edLeftCompareDirectory.Text]\r\n>/two\r\n");
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text"});
    w.window->show();
    int loads = 0;
    store->OnProjectLoad = [&] { ++loads; };
    store->OpenProject("profile_two");
    EXPECT_EQ(store->ProjectFn, AppSettingsFolder() + "profile_two.ini");
    EXPECT_EQ(store->ProjectName, "profile_two");
    EXPECT_EQ(w.edLeftCompareDirectory->text(), "/two");
    EXPECT_EQ(loads, 1);

    store->SetProjectExtension("cfg");
    EXPECT_EQ(store->ProjectExtension(), ".cfg");
    EXPECT_EQ(store->Filter(), "Projects|*.cfg");
    store->SetFilter("Settings|*.set");
    EXPECT_EQ(store->Filter(), "Settings|*.set");
    store->OpenProject("/absolute/elsewhere");
    EXPECT_EQ(store->ProjectFn, "/absolute/elsewhere.cfg");
}

TEST_F(SettingsStoreTest, AnInactiveStoreWritesNothing) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w);
    w.window->show();
    store->Active = false;
    EXPECT_FALSE(store->SaveProjectX());
    w.window->close();
    EXPECT_FALSE(platform::FileExists(SessionPath()));
    EXPECT_FALSE(platform::FileExists(SettingsPath()));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, AStoreWithoutAFileAsksWhereToSave) {
    TestWindow w;
    TBrenixProject* store = StoreOn(w, {"edLeftCompareDirectory.Text"});
    store->SingleProjectMode = false;
    w.window->show();
    EXPECT_TRUE(store->ProjectFn.empty());
    EXPECT_EQ(store->Filter(), "Projects|*.ini");

    const std::string chosen = AppSettingsFolder() + "chosen_by_user";
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(QString::fromStdString(chosen));
        static_cast<QDialog*>(dialog)->accept();
    });
    w.edLeftCompareDirectory->setText("/asked");
    ASSERT_TRUE(store->SaveProjectX());
    EXPECT_EQ(store->ProjectFn, chosen + ".ini");
    EXPECT_EQ(store->ProjectName, "chosen_by_user");
    EXPECT_EQ(ReadBytes(chosen + ".ini"), kBom + "[edLeftCompareDirectory.Text]\r\n>/asked\r\n");

    // Cancelling the dialog saves nothing.
    store->ProjectFn.clear();
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    EXPECT_FALSE(store->SaveProjectX());
}

TEST_F(SettingsStoreTest, OnlyAWindowCanOwnTheStore) {
    TestWindow w;
    auto* store = new TBrenixProject(w.edLeftCompareDirectory, base);
    store->PropertiesList = {"edLeftCompareDirectory.Text"};
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"project: self.Owner is not TForm"}));
    w.window->show();
    EXPECT_TRUE(store->ProjectFn.empty());
}

}  // namespace
}  // namespace tandrel
