// The body of a snapshot rebuilt into a scan: the first byte chooses a
// compressed or a plain body, the tree or the flat lists, with or without a
// starting path; the rest is the body.
#include "fuzz_support.h"
#include "scan/snapshot_loader.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzHome();
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    std::string body(fuzz::Bytes(data + 1, size - 1));
    SnapshotLineReader reader =
        mode & 1 ? SnapshotLineReader::FromCompressed(std::move(body)) : SnapshotLineReader::FromText(std::move(body));
    SeekSectionStart(reader);
    const std::string path = mode & 4 ? "/p" : "";

    ScanModel model;
    model.ResetTreemap(path, false);
    model.ResetDirectoryEntries();
    SnapshotLoadReport report;
    if (mode & 2) {
        TOwningStore<TFileEntry> files;
        TOwningStore<TDirectoryEntry> folders;
        const TDirectoryStats stats = LoadSnapshotToLists(model, reader, path, files, folders, nullptr, &report);
        FUZZ_CHECK(stats.FilesCount >= 0 && stats.DirectoriesCount >= 0);
        for (int i = 0; i < folders.Count(); ++i) folders[i]->CalcPath();
    } else {
        const TDirectoryStats stats = LoadSnapshotToTreemap(model, reader, path, model.Root(), nullptr, &report);
        FUZZ_CHECK(stats.FilesCount >= 0 && stats.DirectoriesCount >= 0);
        // Every node can name its path (the views do this for every node).
        model.DiskTreeMapEntries.ForEach([&](TDiskTreeMapEntry& node) { GetNodeFullPath(model, &node); });
    }
    FUZZ_CHECK(report.skippedLines >= 0);
    return 0;
}
