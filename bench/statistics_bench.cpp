// Folder and file statistics on a scan of about 1.16 million nodes: the tree
// of shared/bench/make_tree.py (/tmp/tandrel-bench/tree1m, or the folder
// named by TANDREL_STATS_TREE), scanned live once at start, or the snapshot
// named by TANDREL_STATS_SNAPSHOT.
//
//   FinalPass          the end of a scan: children re-sort, the tree of
//                      folder sizes from nothing, the folder rows at
//                      threshold 1, the default file filter (5 MB) and its
//                      size sort (tree_ms, rows_ms, filter_ms, sort_ms)
//   IncrementalUpdate  re-sort and tree update after files were added in
//                      about 150 folders (changed: records whose counter moved)
//   Refilter/0         the default filter again over every file node
//   Refilter/1         name and folder words over every file node
//   SortFiles/K        every file node (about 1M rows) sorted by name (0),
//                      size (1) or full path (2)
//
// Each figure is printed beside a plain pass measured in the same run, so
// figures compare across machines: `ref_ms` is a walk over the node list
// summing the sizes of the file nodes (FinalPass, Refilter), std::sort of
// the same rows by plain bytes of the name (SortFiles), or a walk over every
// folder record (IncrementalUpdate); `x_ref` is our time divided by it.
//
// Run: build/bench/statistics_bench [--benchmark_filter=SortFiles]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench_snapshot.h"
#include "scan/disk_scanner.h"
#include "scan/file_statistics.h"
#include "scan/folder_statistics.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_lines.h"
#include "scan/snapshot_loader.h"
#include "scan/statistics_comparators.h"
#include "scan/tree_size_tree.h"

using namespace tandrel;

namespace {

template <typename F>
double TimeMs(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
template <typename F>
double BestOf(int runs, F f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) best = std::min(best, TimeMs(f));
    return best;
}

struct Bench {
    ScanModel& model = CurrentModel();
    TTreeSizeTree tree;
    std::vector<TDirectoryEntry*> folders;  // every folder record, "[files]" left out
    std::vector<TDiskTreeMapEntry*> allFiles;
    double fileWalkMs = 0;
    double folderWalkMs = 0;

    Bench() {
        const char* snapshot = std::getenv("TANDREL_STATS_SNAPSHOT");
        const char* folder = std::getenv("TANDREL_STATS_TREE");
        const std::string path = folder && *folder ? folder : "/tmp/tandrel-bench/tree1m";
        model.ResetTreemap(snapshot && *snapshot ? "" : path, false);
        model.ResetDirectoryEntries();
        const double loadMs = TimeMs([&] {
            if (snapshot && *snapshot) {
                tandrel::bench::LoadSnapshotOrExit(model, snapshot);
                model.DirectoryEntries.ForEach([](TDirectoryEntry& r) { r._ModifiedCount = 1; });
            } else {
                ScanDirectoryToTreemap(model, path, model.Root(), nullptr, platform::FindRecord{});
            }
        });
        model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
            if (r.FolderName != "[files]") folders.push_back(&r);
        });
        TFileFilterInput all;
        all.SizeFrom = 0;
        allFiles = FilterFiles(model, all);
        fileWalkMs = BestOf(5, [&] {
            std::int64_t sum = 0;
            for (int i = 1; i < model.DiskTreeMapEntries.Count(); ++i) {
                const TDiskTreeMapEntry* node = model.DiskTreeMapEntries[i];
                if (node->EntryType == EntryType_File) sum += node->SizeTotal;
            }
            benchmark::DoNotOptimize(sum);
        });
        folderWalkMs = BestOf(5, [&] {
            std::int64_t sum = 0;
            model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) { sum += r.TotalSize; });
            benchmark::DoNotOptimize(sum);
        });
        std::fprintf(stderr, "tree: %d nodes, %zu files, %zu folders, loaded in %.0f ms\n",
                     model.DiskTreeMapEntries.Count(), allFiles.size(), folders.size(), loadMs);
    }

    // The state right after a scan: no tree, every folder queued and changed.
    void AsScanned() {
        tree.Clear();
        std::lock_guard<std::mutex> lock(model.csNewDirectoryEntries);
        model.NewDirectoryEntries = folders;
        for (TDirectoryEntry* r : folders) {
            r->TreeNodeX = nullptr;
            r->_ModifiedPositionX = r->_ModifiedPositionY = 0;
        }
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

void Report(benchmark::State& state, double totalMs, double refMs) {
    state.counters["ref_ms"] = refMs;
    state.counters["x_ref"] = totalMs / static_cast<double>(state.iterations()) / refMs;
}

void BM_FinalPass(benchmark::State& state) {
    Bench& b = TheBench();
    double total = 0, treeMs = 0, rowsMs = 0, filterMs = 0, sortMs = 0;
    std::size_t rowCount = 0, fileRows = 0;
    for (auto _ : state) {
        b.AsScanned();
        std::vector<TDiskTreeMapEntry*> files;
        const double t1 = TimeMs([&] {
            ResortChangedDirectoryChildren(b.model);
            b.tree.Update(b.model);
        });
        const double t2 = TimeMs([&] { rowCount = FolderStatisticsRows(b.model, 1).size(); });
        const double t3 = TimeMs([&] { files = FilterFiles(b.model, TFileFilterInput{}); });
        const double t4 = TimeMs([&] { SortFileNodes(files, FileAnalysisKeyOfColumn(2), false); });
        fileRows = files.size();
        const double ms = t1 + t2 + t3 + t4;
        state.SetIterationTime(ms / 1000);
        total += ms;
        treeMs += t1;
        rowsMs += t2;
        filterMs += t3;
        sortMs += t4;
    }
    const double n = static_cast<double>(state.iterations());
    Report(state, total, b.fileWalkMs);
    state.counters["tree_ms"] = treeMs / n;
    state.counters["rows_ms"] = rowsMs / n;
    state.counters["filter_ms"] = filterMs / n;
    state.counters["sort_ms"] = sortMs / n;
    state.counters["tree_nodes"] = b.tree.NodeCount();
    state.counters["folder_rows"] = static_cast<double>(rowCount);
    state.counters["file_rows"] = static_cast<double>(fileRows);
}

void BM_IncrementalUpdate(benchmark::State& state) {
    Bench& b = TheBench();
    b.AsScanned();
    ResortChangedDirectoryChildren(b.model);
    b.tree.Update(b.model);
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, b.folders.size() - 1);
    std::uniform_int_distribution<std::int64_t> bytes(1, 64LL * 1024 * 1024);
    double total = 0;
    std::size_t changed = 0;
    for (auto _ : state) {
        // Files added in 150 folders, counted up to the root as a scan does.
        std::set<TDirectoryEntry*> touched;
        {
            std::lock_guard<std::mutex> lock(b.model.csModifiedCount);
            for (int i = 0; i < 150; ++i) {
                const std::int64_t size = bytes(rng);
                for (TDirectoryEntry* r = b.folders[pick(rng)]; r; r = r->ParentIdx) {
                    r->_ModifiedCount++;
                    r->TotalSize += size;
                    touched.insert(r);
                }
            }
        }
        changed = touched.size();
        const double ms = TimeMs([&] {
            ResortChangedDirectoryChildren(b.model);
            b.tree.Update(b.model);
        });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    Report(state, total, b.folderWalkMs);
    state.counters["changed"] = static_cast<double>(changed);
}

void BM_Refilter(benchmark::State& state) {
    Bench& b = TheBench();
    TFileFilterInput input;
    if (state.range(0) == 1) {
        input.SizeFrom = 0;
        input.NameWords = "report -old";
        input.FolderWords = "src -cache";
    }
    const TFileFilterLimits limits = PrepareFileFilter(input);
    double total = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        const double ms = TimeMs([&] { rows = FilterFiles(b.model, limits).size(); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    Report(state, total, b.fileWalkMs);
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_SortFiles(benchmark::State& state) {
    Bench& b = TheBench();
    const FileNodeKey keys[] = {FileNodeKey::Name, FileNodeKey::Size, FileNodeKey::FullPath};
    const FileNodeKey key = keys[state.range(0)];
    std::vector<TDiskTreeMapEntry*> rows;
    const double refMs = BestOf(2, [&] {
        rows = b.allFiles;
        std::sort(rows.begin(), rows.end(),
                  [](const TDiskTreeMapEntry* x, const TDiskTreeMapEntry* y) { return x->Name.view() < y->Name.view(); });
    });
    double total = 0;
    for (auto _ : state) {
        rows = b.allFiles;
        const double ms = TimeMs([&] { SortFileNodes(rows, key, false); });
        state.SetIterationTime(ms / 1000);
        total += ms;
    }
    Report(state, total, refMs);
    state.counters["rows"] = static_cast<double>(rows.size());
}

}  // namespace

BENCHMARK(BM_FinalPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IncrementalUpdate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Refilter)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortFiles)->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
