#pragma once
// Loads a stored scan into a model for the benchmarks that run on one;
// a file that is no snapshot ends the benchmark with its error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/scan_model.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_lines.h"
#include "scan/snapshot_loader.h"

namespace tandrel::bench {

inline void LoadSnapshotOrExit(ScanModel& model, const char* file, SnapshotLoadReport* report = nullptr) {
    SnapshotLineReader reader;
    std::string error;
    if (!LoadExtendedVolume(file, reader, &error)) {
        std::fprintf(stderr, "cannot load %s: %s\n", file, error.c_str());
        std::exit(2);
    }
    SeekSectionStart(reader);
    LoadSnapshotToTreemap(model, reader, "", model.Root(), nullptr, report);
}

}  // namespace tandrel::bench
