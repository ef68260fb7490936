// Treemap layout speed on a scan of about 1.16 million nodes: the shape and
// sizes of shared/bench/make_tree.py (1,000,000 files, up to 12 subfolders
// and about 40 files per folder, long-tailed sizes), built in memory with a
// fixed seed, or the snapshot named by TANDREL_TREEMAP_SNAPSHOT.
//
//   Relayout/after_load   sort + layout + pixel pass, every node modified and
//                         every folder's children in load order, no boxes yet
//                         (sort_ms: the same sort timed alone)
//   Relayout/unchanged    the periodic relayout when nothing changed
//   PixelPass/Z           the pixel pass alone on a 1920 x 1080 surface
//                         zoomed Z times, boxes already there
//   ZoomStep/Z            one wheel-like step (canvas x1.1 in and out again)
//                         around zoom Z: boxes appear and are freed
//   ZoomStepDense/Z       the zoom step where the view shows the most boxes
//                         (the densest of 64 random view positions)
//   PanDense/Z            a scroll step (6 % of the view) there and back
//   Relayout/ScanSlice    the refresh while a scan runs: 1 % of the nodes
//                         changed, relayout without reset (sort_ms: the sort)
//   HitTest/Z             1000 hit tests at random points of the view
//                         (us_per_hit: one of them)
//
// Each figure is printed beside a plain pass over the same nodes measured in
// the same run, so figures compare across machines: `ref_ms` is a recursive
// walk summing the sizes of every node (Relayout) or of every node the pixel
// pass visits, i.e. the boxed nodes and their children (PixelPass, ZoomStep,
// PanDense, HitTest); `x_ref` is our time divided by it. The pixel pass makes
// boxes only in and around the view, so its figures follow what is visible.
//
// Run: build/bench/treemap_bench [--benchmark_filter=Relayout]
//      TANDREL_TREEMAP_SNAPSHOT=FILE build/bench/treemap_bench   (a stored scan)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_snapshot.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_lines.h"
#include "scan/snapshot_loader.h"
#include "treemap/treemap_geometry.h"
#include "treemap/treemap_layout.h"

using namespace tandrel;

namespace {

constexpr int kSurfaceW = 1920;
constexpr int kSurfaceH = 1080;

const char* const kWords[] = {"report", "Photo", "backup",  "data",   "Projekt", "notes", "IMG",       "invoice",
                              "draft",  "final", "archive", "music",  "Video",   "log",   "build",     "cache",
                              "src",    "lib",   "test",    "résumé", "naïve",   "日本",  "Übersicht", "old",
                              "new",    "copy",  "temp",    "docs",   "readme",  "misc"};
const char* const kExts[] = {".txt", ".jpg", ".png", ".mp3", ".pdf",  ".docx", ".cpp", ".h",
                             ".log", ".zip", ".iso", ".mkv", ".json", ".csv",  ".dat", ""};

class TreeMaker {
public:
    explicit TreeMaker(std::uint64_t seed) : rng_(seed) {}

    double Uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }
    std::int64_t RandInt(std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng_);
    }
    const char* Word() { return kWords[RandInt(0, std::size(kWords) - 1)]; }

    std::string Name(long i) {
        const char* w = Word();
        const double style = Uniform();
        if (style < 0.3) return std::string(w) + "_" + std::to_string(i);
        if (style < 0.5) return std::string(w) + " " + Word() + " " + std::to_string(i);
        if (style < 0.7) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%05ld", i);
            return std::string(w) + "-" + std::to_string(RandInt(1990, 2026)) + "-" + digits;
        }
        return std::string(w) + std::to_string(i);
    }

    std::int64_t Size() {
        const double r = Uniform();
        if (r < 0.05) return 0;
        if (r < 0.70) return RandInt(1, 16 * 1024);
        if (r < 0.95) return RandInt(16 * 1024, 4LL * 1024 * 1024);
        if (r < 0.995) return RandInt(4LL * 1024 * 1024, 512LL * 1024 * 1024);
        return RandInt(512LL * 1024 * 1024, 8LL * 1024 * 1024 * 1024);
    }

    // Folders breadth first: each gets about 40 files, then 1 to 12 subfolders.
    void Build(ScanModel& model, long files, int fanout, int perDir) {
        TDiskTreeMapEntry* root = model.Root();
        root->Name = "/bench";
        std::deque<TDiskTreeMapEntry*> queue{root};
        long made = 0, dirs = 0;
        while (!queue.empty() && made < files) {
            TDiskTreeMapEntry* folder = queue.front();
            queue.pop_front();
            const long wanted = static_cast<long>(-std::log(1.0 - Uniform()) * perDir);
            const long n = std::min(files - made, std::max(1L, wanted));
            for (long i = 0; i < n; ++i) {
                TDiskTreeMapEntry* file =
                    Add(model, folder, Name(made) + kExts[RandInt(0, std::size(kExts) - 1)], EntryType_File);
                file->SizeTotal = Size();
                ++made;
            }
            const long subfolders = RandInt(1, fanout);
            for (long j = 0; j < subfolders; ++j)
                queue.push_back(Add(model, folder, Name(dirs++), EntryType_Directory));
        }
        // Children come after their parents: sum the sizes upwards backwards.
        for (int i = model.DiskTreeMapEntries.Count() - 1; i > 1; --i) {
            TDiskTreeMapEntry* node = model.DiskTreeMapEntries[i];
            node->ParentNodeIdx->SizeTotal += node->SizeTotal;
        }
    }

private:
    static TDiskTreeMapEntry* Add(ScanModel& model, TDiskTreeMapEntry* parent, std::string name, TEntryType type) {
        TDiskTreeMapEntry* node = model.DiskTreeMapEntries.Add();
        node->Name = std::move(name);
        node->EntryType = type;
        node->ParentNodeIdx = parent;
        parent->ChildrenEntries.push_back(node);
        return node;
    }

    std::mt19937_64 rng_;
};

struct Bench {
    ScanModel model;
    TreemapLayout layout{model};
    // Every folder's children as loaded, to undo the sort between runs.
    std::vector<std::pair<TDiskTreeMapEntry*, std::vector<TDiskTreeMapEntry*>>> loadOrder;
    double fullWalkMs = 0;

    Bench() {
        const char* snapshot = std::getenv("TANDREL_TREEMAP_SNAPSHOT");
        if (snapshot && *snapshot) {
            model.ResetTreemap("", false);
            model.ResetDirectoryEntries();
            SnapshotLoadReport report;
            tandrel::bench::LoadSnapshotOrExit(model, snapshot, &report);
        } else {
            model.ResetTreemap("", false);
            TreeMaker(1).Build(model, 1000000, 12, 40);
        }
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) {
            node._Modified = true;  // as a load leaves them
            if (!node.ChildrenEntries.empty()) loadOrder.emplace_back(&node, node.ChildrenEntries);
        });
        layout.SurfaceWidth = kSurfaceW;
        layout.SurfaceHeight = kSurfaceH;
        fullWalkMs = BestOf(5, [&] { benchmark::DoNotOptimize(SumAll(model.Root())); });
        std::fprintf(stderr, "tree: %d nodes, %zu folders with children, %.3f GB\n", model.DiskTreeMapEntries.Count(),
                     loadOrder.size(), static_cast<double>(model.Root()->SizeTotal) / 1e9);
    }

    void AsLoaded() {
        for (auto& [node, children] : loadOrder) node->ChildrenEntries = children;
        model.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& node) { node._Modified = true; });
        for (TDiskTreeMapEntry* child : model.Root()->ChildrenEntries) FreeBoxes(child);
    }

    // The relayout's first step alone.
    void SortModified() {
        model.DiskTreeMapEntries.ForEach([](TDiskTreeMapEntry& node) {
            if (node._Modified && node.ChildrenEntries.size() > 1) node.SortDiskTreeMapChildren();
        });
    }

    // Canvas zoom x the surface, the view centred on it.
    void Zoom(double zoom) { ZoomAt(zoom, 0.5, 0.5); }
    // The same with the view's centre at (fx, fy) of the canvas, kept on it.
    void ZoomAt(double zoom, double fx, double fy) {
        TBoxInfo& canvas = *model.Root()->_BoxInfo;
        canvas._PixelsW = static_cast<float>(kSurfaceW * zoom);
        canvas._PixelsH = static_cast<float>(kSurfaceH * zoom);
        const double maxLeft = std::max(0.0, canvas._PixelsW - static_cast<double>(kSurfaceW));
        const double maxTop = std::max(0.0, canvas._PixelsH - static_cast<double>(kSurfaceH));
        const double left = std::clamp(canvas._PixelsW * fx - kSurfaceW / 2.0, 0.0, maxLeft);
        const double top = std::clamp(canvas._PixelsH * fy - kSurfaceH / 2.0, 0.0, maxTop);
        layout.View = TViewWindow{static_cast<float>(left), static_cast<float>(top),
                                  static_cast<float>(left + kSurfaceW), static_cast<float>(top + kSurfaceH)};
    }
    // Of 64 random view positions at this zoom, the one that shows the most
    // boxes (the pixel pass costs what is visible); the view is left there.
    std::pair<double, double> DensestView(double zoom) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(0, 1);
        std::pair<double, double> best{0.5, 0.5};
        long most = -1;
        for (int i = 0; i < 64; ++i) {
            const std::pair<double, double> at{u(rng), u(rng)};
            ZoomAt(zoom, at.first, at.second);
            layout.DiskTreeMap_CalcPixels(model.Root(), true);
            long boxes = 0;
            SumBoxed(model.Root(), boxes);
            if (boxes > most) {
                most = boxes;
                best = at;
            }
        }
        ZoomAt(zoom, best.first, best.second);
        layout.DiskTreeMap_CalcPixels(model.Root(), true);
        return best;
    }

    static std::int64_t SumAll(const TDiskTreeMapEntry* node) {
        std::int64_t sum = node->SizeTotal;
        for (const TDiskTreeMapEntry* child : node->ChildrenEntries) sum += SumAll(child);
        return sum;
    }
    // The nodes the pixel pass visits: every boxed node and its children.
    static std::int64_t SumBoxed(const TDiskTreeMapEntry* node, long& boxes) {
        ++boxes;
        std::int64_t sum = node->SizeTotal;
        for (const TDiskTreeMapEntry* child : node->ChildrenEntries) {
            sum += child->SizeTotal;
            if (child->_BoxInfo) sum += SumBoxed(child, boxes);
        }
        return sum;
    }

    template <typename F>
    static double TimeMs(F f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    template <typename F>
    static double BestOf(int runs, F f) {
        double best = 1e300;
        for (int i = 0; i < runs; ++i) best = std::min(best, TimeMs(f));
        return best;
    }
    double BoxedWalkMs(long* boxes) {
        long count = 0;
        const double ms = BestOf(5, [&] {
            count = 0;
            benchmark::DoNotOptimize(SumBoxed(model.Root(), count));
        });
        if (boxes) *boxes = count;
        return ms;
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

void Report(benchmark::State& state, double totalMs, double refMs) {
    const double perIteration = totalMs / static_cast<double>(state.iterations());
    state.counters["ref_ms"] = refMs;
    state.counters["x_ref"] = perIteration / refMs;
}

void BM_Relayout_AfterLoad(benchmark::State& state) {
    Bench& b = TheBench();
    double total = 0, layoutMs = 0, sortMs = 0;
    for (auto _ : state) {
        b.AsLoaded();
        sortMs += Bench::TimeMs([&] { b.SortModified(); });
        b.AsLoaded();
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_Relayout(true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
        layoutMs += b.layout.LayoutTreeMs;
    }
    Report(state, total, b.fullWalkMs);
    state.counters["layout_ms"] = layoutMs / static_cast<double>(state.iterations());
    state.counters["sort_ms"] = sortMs / static_cast<double>(state.iterations());
    state.counters["nodes"] = b.model.DiskTreeMapEntries.Count();
}

void BM_Relayout_Unchanged(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    double total = 0;
    for (auto _ : state) {
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_Relayout(true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    Report(state, total, b.fullWalkMs);
}

void BM_PixelPass(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    b.Zoom(static_cast<double>(state.range(0)));
    b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true);
    double total = 0;
    for (auto _ : state) {
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    long boxes = 0;
    Report(state, total, b.BoxedWalkMs(&boxes));
    state.counters["boxes"] = static_cast<double>(boxes);
}

void BM_ZoomStep(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    const double zoom = static_cast<double>(state.range(0));
    b.Zoom(zoom);
    b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true);
    double total = 0;
    bool in = true;
    for (auto _ : state) {
        b.Zoom(in ? zoom * 1.1 : zoom);
        in = !in;
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    b.Zoom(zoom);
    b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true);
    long boxes = 0;
    Report(state, total, b.BoxedWalkMs(&boxes));
    state.counters["boxes"] = static_cast<double>(boxes);
}

// A zoom step and a scroll step where the view shows the most boxes.
void BM_ZoomStepDense(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    const double zoom = static_cast<double>(state.range(0));
    const auto [fx, fy] = b.DensestView(zoom);
    double total = 0;
    bool in = true;
    for (auto _ : state) {
        b.ZoomAt(in ? zoom * 1.1 : zoom, fx, fy);
        in = !in;
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    b.ZoomAt(zoom, fx, fy);
    b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true);
    long boxes = 0;
    Report(state, total, b.BoxedWalkMs(&boxes));
    state.counters["boxes"] = static_cast<double>(boxes);
}

void BM_PanDense(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    const double zoom = static_cast<double>(state.range(0));
    b.DensestView(zoom);
    // Scroll steps of 6 % of the view, right and back.
    const float step = 0.06f * kSurfaceH;
    const float canvasW = b.model.Root()->_BoxInfo->_PixelsW;
    const float dx = b.layout.View.right + step <= canvasW ? step : -step;
    double total = 0;
    bool out = true;
    for (auto _ : state) {
        TViewWindow& v = b.layout.View;
        const float d = out ? dx : -dx;
        out = !out;
        v.left += d;
        v.right += d;
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    long boxes = 0;
    Report(state, total, b.BoxedWalkMs(&boxes));
    state.counters["boxes"] = static_cast<double>(boxes);
}

// The window's refresh while a scan runs: about 1 % of the nodes changed in
// the last slice (each moved to the end of its folder, as a new entry comes
// in, and marked modified up to the root), then the relayout without reset
// of the whole map. `sort_ms` is the children sort of such a slice alone.
void BM_Relayout_ScanSlice(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    std::mt19937 rng(5);
    const int count = b.model.DiskTreeMapEntries.Count();
    const auto slice = [&] {
        for (int i = 0; i < count / 100; ++i) {
            TDiskTreeMapEntry* node = b.model.DiskTreeMapEntries[1 + static_cast<int>(rng() % (count - 1))];
            auto& siblings = node->ParentNodeIdx->ChildrenEntries;
            const auto at = std::find(siblings.begin(), siblings.end(), node);
            std::rotate(at, at + 1, siblings.end());
            for (TDiskTreeMapEntry* n = node; n; n = n->ParentNodeIdx) n->_Modified = true;
        }
    };
    double total = 0, layoutMs = 0, sortMs = 0;
    for (auto _ : state) {
        slice();
        sortMs += Bench::TimeMs([&] { b.SortModified(); });
        slice();  // another one: the sort above put the first in order
        const double ms = Bench::TimeMs([&] { b.layout.DiskTreeMap_Relayout(false); });
        state.SetIterationTime(ms / 1000);
        total += ms;
        layoutMs += b.layout.LayoutTreeMs;
    }
    Report(state, total, b.fullWalkMs);
    state.counters["layout_ms"] = layoutMs / static_cast<double>(state.iterations());
    state.counters["sort_ms"] = sortMs / static_cast<double>(state.iterations());
}

void BM_HitTest(benchmark::State& state) {
    Bench& b = TheBench();
    b.layout.DiskTreeMap_Relayout(true);
    b.Zoom(static_cast<double>(state.range(0)));
    b.layout.DiskTreeMap_CalcPixels(b.model.Root(), true);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> px(0, kSurfaceW), py(0, kSurfaceH);
    constexpr int kBatch = 1000;
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < kBatch; ++i) points.emplace_back(b.layout.View.left + px(rng), b.layout.View.top + py(rng));
    double total = 0;
    long depth = 0;
    for (auto _ : state) {
        const double ms = Bench::TimeMs([&] {
            for (const auto& [x, y] : points) {
                TDiskTreeMapEntry* hit = b.layout.GetInnermostRectangleAt(x, y);
                benchmark::DoNotOptimize(hit);
            }
        });
        state.SetIterationTime(ms / 1000);
        total += ms / kBatch;
    }
    for (const auto& [x, y] : points)
        for (TDiskTreeMapEntry* n = b.layout.GetInnermostRectangleAt(x, y); n; n = n->ParentNodeIdx) ++depth;
    Report(state, total, b.BoxedWalkMs(nullptr));
    state.counters["us_per_hit"] = total / static_cast<double>(state.iterations()) * 1000;
    state.counters["mean_depth"] = static_cast<double>(depth) / kBatch;
}

}  // namespace

BENCHMARK(BM_Relayout_AfterLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Relayout_Unchanged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PixelPass)->Arg(1)->Arg(2)->Arg(16)->Arg(256)->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStep)->Arg(2)->Arg(16)->Arg(256)->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStepDense)->Arg(2)->Arg(16)->Arg(256)->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanDense)->Arg(2)->Arg(16)->Arg(256)->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Relayout_ScanSlice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HitTest)->Arg(1)->Arg(16)->Arg(256)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
