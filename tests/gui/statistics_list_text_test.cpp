// The statistics lists draw their cells themselves; what they draw must be
// what the model and assistive technology read, cell by cell, and reading
// must not be needed to draw.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTextItem>
#include <filesystem>
#include <memory>
#include <string>

#include "common/app_folders.h"
#include "gui/disk/directory_analysis_view.h"
#include "gui/disk/disk_treemap_view.h"
#include "gui/disk/scan_run.h"
#include "gui/shell/main_window.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::TempDir;

constexpr std::int64_t kMiB = 1048576;

// A paint device that keeps the texts drawn on it and nothing else.
class TextRecorder : public QPaintDevice {
public:
    explicit TextRecorder(const QWidget& like) : like_(like) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    QStringList texts() const { return engine_.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return kWidth;
            case PdmHeight:
                return kHeight;
            case PdmWidthMM:
                return kWidth * 254 / (10 * like_.logicalDpiX());
            case PdmHeightMM:
                return kHeight * 254 / (10 * like_.logicalDpiY());
            case PdmNumColors:
                return 0;
            case PdmDepth:
                return 32;
            // The widget's resolution, so fonts measure as on the list.
            case PdmDpiX:
            case PdmPhysicalDpiX:
                return like_.logicalDpiX();
            case PdmDpiY:
            case PdmPhysicalDpiY:
                return like_.logicalDpiY();
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    static constexpr int kWidth = 4000, kHeight = 200;

    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawRects(const QRectF*, int) override {}
        void drawRects(const QRect*, int) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawLines(const QLineF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        Type type() const override { return User; }
        QStringList texts;
    };
    const QWidget& like_;
    mutable Engine engine_;
};

class StatisticsListText : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(AppSettingsFolder());
        Sized("tree/big1.bin", 6 * kMiB);
        Sized("tree/a/big2.bin", 8 * kMiB);
        dir.WriteFile("tree/a/tiny", "x");
        Sized("tree/b/mid.bin", 3 * kMiB);
        window = std::make_unique<TFormMain>(model);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        view = &window->AnalysisView();
        ui = &view->WidgetsForTest();
        window->TreemapView().SetFolder(dir.Path("tree"));
        bool done = false;
        window->ScanRun().Start([&] { done = true; }, false);
        for (int i = 0; i < 1000 && !done; ++i) QTest::qWait(10);
        ASSERT_TRUE(done);
    }

    void TearDown() override {
        window->close();
        window.reset();
    }

    void Sized(const std::string& relative, std::int64_t size) {
        std::filesystem::resize_file(dir.WriteFile(relative, ""), static_cast<std::uintmax_t>(size));
    }

    // The texts the list's own drawing puts into a cell wide enough for all
    // of them, joined as the cell's text joins its pieces.
    static QString Drawn(TListViewEx& lv, int row, int column) {
        TextRecorder recorder(lv);
        {
            QPainter painter(&recorder);
            painter.setFont(lv.font());
            lv.OnDrawCell(painter, QRect(0, 0, 3000, lv.RowHeight()), row, column, false, true);
        }
        return recorder.texts().join("  ");
    }

    static QString Read(TListViewEx& lv, int row, int column, int role = Qt::DisplayRole) {
        return lv.model()->data(lv.model()->index(row, column), role).toString();
    }

    // Every cell reads as it is drawn, for the display role, the accessible
    // text role and the accessibility layer's cell; headers read their captions.
    static void ExpectEveryCellReadsAsDrawn(TListViewEx& lv) {
        ASSERT_GT(lv.ItemsCount(), 0);
        // The accessibility layer drops the cells it keeps on a model reset
        // only while a screen reader listens, which the offscreen platform
        // never does: read through a fresh table interface.
        if (QAccessibleInterface* old = QAccessible::queryAccessibleInterface(&lv))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&lv);
        ASSERT_TRUE(list && list->tableInterface());
        QAccessibleTableInterface* table = list->tableInterface();
        EXPECT_EQ(table->rowCount(), lv.ItemsCount());
        ASSERT_EQ(table->columnCount(), lv.ColumnCount());
        for (int row = 0; row < lv.ItemsCount(); ++row)
            for (int column = 0; column < lv.ColumnCount(); ++column) {
                const std::string where = lv.objectName().toStdString() + " row " + std::to_string(row) + " " +
                                          lv.ColumnCaption(column).toStdString();
                const QString drawn = Drawn(lv, row, column);
                EXPECT_EQ(Read(lv, row, column).toStdString(), drawn.toStdString()) << where;
                EXPECT_EQ(Read(lv, row, column, Qt::AccessibleTextRole).toStdString(), drawn.toStdString()) << where;
                QAccessibleInterface* cell = table->cellAt(row, column);
                ASSERT_TRUE(cell && cell->tableCellInterface()) << where;
                EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), drawn.toStdString()) << where;
                const QList<QAccessibleInterface*> headers = cell->tableCellInterface()->columnHeaderCells();
                ASSERT_EQ(headers.size(), 1) << where;
                EXPECT_EQ(headers[0]->text(QAccessible::Name), lv.ColumnCaption(column)) << where;
                // Qt hands the header cells over unowned and unregistered:
                // registered here only so that they can be freed.
                for (QAccessibleInterface* header : headers)
                    QAccessible::deleteAccessibleInterface(QAccessible::registerAccessibleInterface(header));
            }
    }

    // Row of the record with that name in the folder statistics.
    int FolderRow(const std::string& name) {
        for (int row = 0; row < ui->lvDirectoryAnalysis->LvItems.Count(); ++row)
            if (model.DirectoryEntries[ui->lvDirectoryAnalysis->LvItems[row]]->FolderName == name) return row;
        return -1;
    }

    QString FolderCell(const std::string& name, const char* caption) {
        TListViewEx& lv = *ui->lvDirectoryAnalysis;
        return Read(lv, FolderRow(name), lv.ColumnIndexOfCaption(caption));
    }

    TempDir dir;
    ScanModel model;
    testing::RecordingMessages messages;
    std::unique_ptr<TFormMain> window;
    TFormDirectoryAnalysis* view = nullptr;
    TFormDirectoryAnalysisUi* ui = nullptr;
};

TEST_F(StatisticsListText, FolderStatisticsCellsReadAsTheyAreDrawn) {
    view->SetExtraColumns(true);
    ExpectEveryCellReadsAsDrawn(*ui->lvDirectoryAnalysis);
    ASSERT_GE(FolderRow("a"), 0);
    EXPECT_EQ(FolderCell("a", "Full Path").toStdString(), dir.Path("tree/a"));
    EXPECT_EQ(FolderCell("a", "Total Size"), "8,388,609");
    EXPECT_EQ(FolderCell("a", "Total Files"), "2");
    EXPECT_EQ(FolderCell("a", "level"), "1");
    EXPECT_EQ(FolderCell("a", "Path").trimmed(), "8.0 MB  a");
    EXPECT_EQ(FolderCell("a", "Bar"), "");  // a bar and no text
    EXPECT_EQ(FolderCell("b", "Root Size"), "3,145,728");

    view->SetExtraColumns(false);
    ExpectEveryCellReadsAsDrawn(*ui->lvDirectoryAnalysis);
}

TEST_F(StatisticsListText, FileStatisticsCellsReadAsTheyAreDrawn) {
    ui->edtSizeFrom->setValue(0);
    view->FilterFiles();
    TListViewEx& lv = *ui->lvFileAnalysis;
    ASSERT_EQ(lv.ItemsCount(), 4);
    ExpectEveryCellReadsAsDrawn(lv);
    // Sorted by size, largest first.
    EXPECT_EQ(Read(lv, 0, lv.ColumnIndexOfCaption("Filename")), "big2.bin");
    EXPECT_EQ(Read(lv, 0, lv.ColumnIndexOfCaption("Path")).toStdString(), dir.Path("tree/a") + "/");
    EXPECT_EQ(Read(lv, 0, lv.ColumnIndexOfCaption("Size")), "8,388,608");
    EXPECT_FALSE(Read(lv, 0, lv.ColumnIndexOfCaption("Modified")).isEmpty());
    EXPECT_EQ(Read(lv, 3, lv.ColumnIndexOfCaption("Filename")), "tiny");
}

TEST_F(StatisticsListText, ChartCellsReadAsTheyAreDrawn) {
    TListViewEx& lv = *ui->lvDirectoryChart;
    ExpectEveryCellReadsAsDrawn(lv);
    EXPECT_EQ(Read(lv, 0, lv.ColumnIndexOfCaption("Path")), "8.0 MB  a");
}

// Drawing and type-ahead never ask for a cell's text: a list of millions of
// rows makes texts only for the cells someone reads.
TEST_F(StatisticsListText, TextsAreMadeOnlyWhenRead) {
    ui->edtSizeFrom->setValue(0);
    view->FilterFiles();
    window->WidgetsForTest().pcTreeMapTreeSize->setCurrentWidget(window->WidgetsForTest().tsFileStatistics);
    TListViewEx& lv = *ui->lvFileAnalysis;
    int asked = 0;
    const auto text = lv.OnGetText;
    lv.OnGetText = [&](int row, int column) {
        ++asked;
        return text(row, column);
    };
    lv.setFocus();
    EXPECT_FALSE(lv.grab().isNull());
    QTest::keyClicks(&lv, "bi");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Read(lv, 1, 0), "big1.bin");
    EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace tandrel
