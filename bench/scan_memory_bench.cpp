// Where the bytes of a scan go: scans a folder (default
// /tmp/tandrel-bench/tree1m) or loads a snapshot into the model the way the
// scan job does, then prints the bytes per entry of each part of the model
// beside the process's resident memory.
//
//   build/bench/scan_memory_bench [FOLDER|SNAPSHOT]
//
// Heap blocks are counted with their allocator overhead (malloc_usable_size
// plus the chunk header), so the parts add up to what the process holds.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/memory_pages.h"
#include "scan/scan_job.h"
#include "scan/scan_model.h"

using namespace tandrel;

namespace {

double ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0;
}

double PeakBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// A heap block as the allocator holds it: the usable bytes and its header.
double HeapBlock(const void* p) { return p ? static_cast<double>(malloc_usable_size(const_cast<void*>(p)) + 8) : 0; }

struct Parts {
    double nodes = 0, nodeNames = 0, nodeChildren = 0, nodeGeometry = 0, boxes = 0;
    double records = 0, recordNames = 0, recordChildren = 0;
};

// The heap block behind a name, none when it sits in the string itself.
double NameHeap(const auto& name) {
    if constexpr (requires { name.capacity(); }) {
        return name.capacity() > 15 ? HeapBlock(name.data()) : 0;
    } else {
        return 0;  // held in the store's name arena, counted with it
    }
}

template <typename T>
double ChildrenHeap(const T& children) {
    if constexpr (requires { children.HeapBytes(); }) {
        return static_cast<double>(children.HeapBytes());
    } else {
        return children.capacity() ? HeapBlock(children.data()) : 0;
    }
}

template <typename S>
double StoreNameBytes(const S& store) {
    if constexpr (requires { store.NameBytes(); })
        return static_cast<double>(store.NameBytes());
    else
        return 0;
}

template <typename N>
double GeometryHeap(const N& node) {
    if constexpr (requires { node._Geometry; })
        return node._Geometry ? HeapBlock(node._Geometry.get()) : 0;
    else
        return 0;
}

Parts Measure(ScanModel& model) {
    Parts p;
    p.nodes = static_cast<double>(model.DiskTreeMapEntries.Count()) * sizeof(TDiskTreeMapEntry);
    model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& n) {
        p.nodeNames += NameHeap(n.Name);
        p.nodeChildren += ChildrenHeap(n.ChildrenEntries);
        if constexpr (requires { n._BoxInfo.HeapBytes(); })
            p.boxes += static_cast<double>(n._BoxInfo.HeapBytes());
        else if (n._BoxInfo)
            p.boxes += HeapBlock(n._BoxInfo.get());
        p.nodeGeometry += GeometryHeap(n);
    });
    p.nodeNames += StoreNameBytes(model.DiskTreeMapEntries);
    p.records = static_cast<double>(model.DirectoryEntries.Count()) * sizeof(TDirectoryEntry);
    model.DirectoryEntries.ForEach([&](TDirectoryEntry& r) {
        p.recordNames += NameHeap(r.FolderName);
        p.recordChildren += ChildrenHeap(r.ChildrenEntries);
    });
    p.recordNames += StoreNameBytes(model.DirectoryEntries);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    platform::TuneAllocatorForScans();
    const std::string path = argc > 1 ? argv[1] : "/tmp/tandrel-bench/tree1m";
    const double before = ResidentBytes();
    ScanModel model;
    PrepareScan(model, path, false);
    const auto start = std::chrono::steady_clock::now();
    {
        TThreadDiskTreemap job(model);
        if (!job.Start()) {
            std::fprintf(stderr, "%s\n", job.ErrorText().c_str());
            return 2;
        }
        job.WaitFor();
        if (job.Failed()) {
            std::fprintf(stderr, "%s\n", job.ErrorText().c_str());
            return 2;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = PeakBytes();
    const double after = ResidentBytes();
    if (model.TempSnapshotFn.find(".temp_snapshot") != std::string::npos) platform::DeleteFile(model.TempSnapshotFn);

    const double entries = static_cast<double>(model.DiskTreeMapEntries.Count() - 1);  // the free-space node
    const Parts p = Measure(model);
    const double parts = p.nodes + p.nodeNames + p.nodeChildren + p.nodeGeometry + p.boxes + p.records + p.recordNames +
                         p.recordChildren;
    std::printf("%s: %.0f entries, %d folder records, %.2f s\n", path.c_str(), entries, model.DirectoryEntries.Count(),
                seconds);
    std::printf("sizeof node %zu, record %zu\n", sizeof(TDiskTreeMapEntry), sizeof(TDirectoryEntry));
    std::printf("%-34s %10s %8s\n", "part", "MB", "B/entry");
    const auto row = [&](const char* label, double bytes) {
        std::printf("%-34s %10.1f %8.1f\n", label, bytes / 1048576.0, bytes / entries);
    };
    row("nodes (store)", p.nodes);
    row("node names", p.nodeNames);
    row("node children lists", p.nodeChildren);
    row("node layout geometry", p.nodeGeometry);
    row("node pixel boxes (with geometry)", p.boxes);
    row("folder records (store)", p.records);
    row("folder record names", p.recordNames);
    row("folder record children lists", p.recordChildren);
    row("sum of the model's parts", parts);
    row("process before the scan", before);
    row("process after the scan", after);
    row("after - before - parts", after - before - parts);
    row("peak resident", peak);
    row("peak - after", peak - after);
    if (std::getenv("TANDREL_MALLOC_STATS")) malloc_stats();
    return 0;
}
