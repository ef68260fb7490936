// Cost of one full treemap redraw on a 1920 x 1080 surface, beside the same
// rectangles filled with QPainter::fillRect alone (the floor any painter of
// these boxes pays):
//   grid      ~19,300 boxes in three levels: 96 captioned folders, 1,920
//             small folders, 17,280 small files
//   captions  48 folders of 576 files, every file large enough for its
//             name, size and date block
// Each run reports ms per redraw (Time), the peer's ms per fill and the
// ratio of the two.
// Run: build/bench/treemap_draw_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "gui/disk/treemap_painter.h"

using namespace tandrel;

namespace {

constexpr int W = 1920, H = 1080;

class SyntheticMap {
public:
    SyntheticMap() { root_ = Add(nullptr, EntryType_Root, "/data", {0, 0, W, H}); }
    ScanModel model;

    TDiskTreeMapEntry* Root() { return root_; }
    // Children of parent in a cols x rows grid inside its inner area (5-pixel
    // margins, 20-pixel caption strip), one pixel apart.
    std::vector<TDiskTreeMapEntry*> Grid(TDiskTreeMapEntry* parent, int cols, int rows, TEntryType type) {
        const TRect p = parent->_BoxInfo->_AbsRect;
        const int left = p.Left + 5, top = p.Top + 20;
        const int cw = (p.Right - p.Left - 10) / cols, ch = (p.Bottom - p.Top - 25) / rows;
        std::vector<TDiskTreeMapEntry*> made;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x) {
                const TRect r{left + x * cw, top + y * ch, left + (x + 1) * cw - 1, top + (y + 1) * ch - 1};
                made.push_back(
                    Add(parent, type, (type == EntryType_File ? "file_" : "folder_") + std::to_string(count_), r));
            }
        return made;
    }
    std::vector<TRect> Rects() {
        std::vector<TRect> rects;
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) { rects.push_back(n._BoxInfo->_AbsRect); });
        return rects;
    }
    int Count() const { return count_; }

private:
    TDiskTreeMapEntry* Add(TDiskTreeMapEntry* parent, TEntryType type, const std::string& name, TRect r) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->EntryType = type;
        node->Name = name;
        node->SizeTotal = 1000 + 977 * count_;
        node->DateM = 41451.574816238426 + count_;
        node->ParentNodeIdx = parent;
        node->_Level = parent ? parent->_Level + 1 : 0;
        node->_BoxInfo = std::make_unique<TBoxInfo>();
        node->_BoxInfo->_AbsRect = r;
        node->_BoxInfo->_PixelsW = static_cast<float>(r.Right - r.Left);
        node->_BoxInfo->_PixelsH = static_cast<float>(r.Bottom - r.Top);
        if (parent) parent->ChildrenEntries.push_back(node);
        ++count_;
        return node;
    }
    TDiskTreeMapEntry* root_;
    int count_ = 0;
};

void BuildGrid(SyntheticMap& map) {
    for (TDiskTreeMapEntry* folder : map.Grid(map.Root(), 12, 8, EntryType_Directory))
        for (TDiskTreeMapEntry* sub : map.Grid(folder, 5, 4, EntryType_Directory)) map.Grid(sub, 3, 3, EntryType_File);
}

void BuildCaptions(SyntheticMap& map) {
    for (TDiskTreeMapEntry* folder : map.Grid(map.Root(), 8, 6, EntryType_Directory))
        map.Grid(folder, 4, 3, EntryType_File);
}

// The same rectangles, filled with QPainter::fillRect alone: ms per fill,
// best of a few rounds.
double PeerFillMs(const std::vector<TRect>& rects) {
    QImage image(W, H, QImage::Format_RGB32);
    double best = 1e9;
    for (int round = 0; round < 30; ++round) {
        const auto start = std::chrono::steady_clock::now();
        QPainter p(&image);
        for (const TRect& r : rects)
            p.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), QColor::fromRgb(0xFF7777BB));
        p.end();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

void RunRedraw(benchmark::State& state, void (*build)(SyntheticMap&)) {
    SyntheticMap map;
    build(map);
    TTreemapPainter painter(map.model);
    painter.SizeBitmap(W, H);
    painter.SetViewWindow({0, 0, W, H});
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) painter.DiskTreeMap_UpdateScreen();
    const auto end = std::chrono::steady_clock::now();
    const double ours = std::chrono::duration<double, std::milli>(end - start).count() / state.iterations();
    const double peer = PeerFillMs(map.Rects());
    state.counters["boxes"] = map.Count();
    state.counters["fillRect_ms"] = peer;
    state.counters["ratio"] = ours / peer;
}

void BM_RedrawGrid(benchmark::State& state) { RunRedraw(state, BuildGrid); }
void BM_RedrawCaptions(benchmark::State& state) { RunRedraw(state, BuildCaptions); }

}  // namespace

BENCHMARK(BM_RedrawGrid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RedrawCaptions)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // Drawing needs a GUI application, not a screen.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
